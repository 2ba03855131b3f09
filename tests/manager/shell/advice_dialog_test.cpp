// The read-me and backup-advice dialogs: their fixed texts, the pressed
// look of the close picture, and closing.
#include "shell/advice_dialog.h"
#include "shell/resource.h"
#include "scripted_ui.h"

#include <gtest/gtest.h>

namespace {

using korvel::test::ScriptedUi;
using korvel::test::U8;
using tessaly::Advice;
using tessaly::AdviceDialog;
using tessaly::EventArgs;
using tessaly::FormEvent;

TEST(AdviceDialog, ItemsAreJoinedByTwoCarriageReturnsWithoutLineFeeds)
{
    struct Case {
        Advice advice;
        int dialogId;
        const char* first;
        const char* last;
        std::size_t items;
    };
    const Case cases[] = {
        {Advice::ReadMe, IDD_README, "1、请用系统管理员帐户才能成功创建保险柜；",
         "5、Korvel多功能保险柜运行后生成托盘区小图标，快捷键为Alt+Ctrl+Y；", 5},
        {Advice::Backup, IDD_BACKUP, "备份还原操作提示：",
         "5、还原磁盘：关闭保险柜，直接用备份的.保险柜属主文件覆盖或拷贝回即可。", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialogId);
        ScriptedUi ui;
        AdviceDialog dialog(ui, c.advice);
        EXPECT_EQ(dialog.DialogId(), c.dialogId);
        EXPECT_TRUE(dialog.Label1().GetText().empty()) << "the text is set when the dialog loads";
        dialog.Load();
        const std::string text = U8(dialog.Label1().GetText());
        EXPECT_EQ(text.find('\n'), std::string::npos);
        std::vector<std::string> items;
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = text.find("\r\r", start);
            items.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) {
                break;
            }
            start = end + 2;
        }
        ASSERT_EQ(items.size(), c.items);
        EXPECT_EQ(items.front(), c.first);
        EXPECT_EQ(items.back(), c.last);
        for (const std::string& item : items) {
            EXPECT_EQ(item.find('\r'), std::string::npos) << "exactly two carriage returns between items";
        }
    }
}

TEST(AdviceDialog, TheClosePictureLooksPressedWhileHeldAndClosesOnTheClick)
{
    ScriptedUi ui;
    AdviceDialog dialog(ui, Advice::Backup);
    dialog.Load();
    EXPECT_EQ(dialog.Image2().BorderStyle(), 0);
    dialog.OnEvent(IDC_IMAGE2, FormEvent::MouseDown, EventArgs{});
    EXPECT_EQ(dialog.Image2().BorderStyle(), 1);
    EXPECT_TRUE(ui.unloaded.empty()) << "pressing alone does not close";
    dialog.OnEvent(IDC_IMAGE2, FormEvent::MouseUp, EventArgs{});
    EXPECT_EQ(dialog.Image2().BorderStyle(), 0);
    dialog.OnEvent(IDC_IMAGE2, FormEvent::Click, EventArgs{});
    ASSERT_EQ(ui.unloaded.size(), 1u);
    EXPECT_EQ(ui.unloaded[0], &dialog);
    EXPECT_TRUE(dialog.QueryClose()) << "the close box and Esc close it too";
}

}  // namespace
