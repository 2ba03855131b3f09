#include "shell/advice_dialog.h"

#include "shell/resource.h"

#include <initializer_list>

namespace tessaly {

namespace {

const std::initializer_list<const char16_t*> kReadMeItems = {
    u"1、请用系统管理员帐户才能成功创建保险柜；",
    u"2、相关软件已通过微软认证，如遇病毒防护软件拦截误报，请务必放行并加入信任库；",
    u"3、可将财务数据、客户资料、账户信息、私人文档、照片和影碟等各种文件拷贝到保险柜里保护；",
    u"4、可将财务软件、MAIL软件、QQ软件、游戏软件等各种应用软件或数据库安装到保险柜里保护；",
    u"5、Korvel多功能保险柜运行后生成托盘区小图标，快捷键为Alt+Ctrl+Y；",
};

const std::initializer_list<const char16_t*> kBackupItems = {
    u"备份还原操作提示：",
    u"1、为防发生意外情况，请您经常对保险柜里的文件作出备份；",
    u"2、备份文件：打开保险柜，直接将文件拷贝出来异地保存；",
    u"3、还原文件：打开保险柜，直接将备份文件拷贝进去即可；",
    u"4、整盘备份：关闭保险柜，拷贝扩展名为.sec的保险柜文件异地保存(建议使用winrar压缩打包)；",
    u"5、还原磁盘：关闭保险柜，直接用备份的.保险柜属主文件覆盖或拷贝回即可。",
};

}  // namespace

Text AdviceText(Advice advice)
{
    Text text;
    for (const char16_t* item : advice == Advice::ReadMe ? kReadMeItems : kBackupItems) {
        if (!text.empty()) {
            text += u"\r\r";
        }
        text += item;
    }
    return text;
}

int AdviceDialog::DialogId() const
{
    return m_Advice == Advice::ReadMe ? IDD_README : IDD_BACKUP;
}

void AdviceDialog::BindControls(ControlBinder& binder)
{
    binder.Bind(IDC_LABEL1, m_Label1);
    binder.Bind(IDC_IMAGE2, m_Image2);
}

void AdviceDialog::Load()
{
    m_Label1.SetText(AdviceText(m_Advice));
}

void AdviceDialog::OnEvent(int controlId, FormEvent event, const EventArgs&)
{
    if (controlId != IDC_IMAGE2) {
        return;
    }
    ShowPressedLook(m_Image2, event);
    if (event == FormEvent::Click) {
        Unload();
    }
}

}  // namespace tessaly
