// The installer's fixed texts, word for word what the product has always
// shown; do not reword them.
#pragma once

namespace setup::texts {

inline constexpr char16_t kFolderFailed[] = u"无法创建安装目录，可能是用户权限不足，请联系管理员!";
inline constexpr char16_t kFolderFailedCaption[] = u"Korvel多功能保险柜-安装向导";
inline constexpr char16_t kNotesCaption[] = u"Korvel多功能保险柜v2.7.1--安装向导";
// The install notes: six lines, each ended by a line feed but the last.
inline constexpr char16_t kNotes[] =
    u"安装注意事项：\n"
    u"1、请用系统管理员帐户才能成功安装Korvel多功能保险柜；\n"
    u"2、相关软件已经过微软认证，如遇病毒防护软件拦截误报，请务必放行并加入信任库；\n"
    u"3、可将财务数据、客户资料、账户信息、私人文档、照片和影碟等各种文件拷贝到保险柜里进行保护；\n"
    u"4、可将财务软件、MAIL软件、QQ软件、游戏软件等各种应用软件或数据库安装到保险柜里进行保护；\n"
    u"5、Korvel多功能保险柜运行后生成托盘区小图标，快捷键为Alt+Ctrl+Y；";
inline constexpr char16_t kDriverUpdated[] = u"检测到驱动更新，需要重启才能生效!";
inline constexpr char16_t kDriverUpdatedCaption[] = u"升级工具提示";
inline constexpr char16_t kShortcutName[] = u"\\Korvel多功能保险柜.lnk";
inline constexpr char16_t kShortcutDescription[] = u"Korvel登录器";

}  // namespace setup::texts
