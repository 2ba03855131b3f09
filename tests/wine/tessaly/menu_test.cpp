// The pop-up menu from the hotkey, the tray icon and the settings button,
// and the items that need no vault: the advice dialogs, the password item's
// message, uninstall.
#include "tessaly_fixture.h"

#include "../../../manager/shell/resource.h"
#include "wine_support.h"

#include <tlhelp32.h>

namespace tessaly_wine {
namespace {

const std::vector<std::wstring> kFullMenu = {L"-关闭菜单-", L"-", L"打开软件", L"-", L"修改密码", L"-", L"备份还原",
                                             L"-",          L"卸载软件", L"-", L"使用说明", L"-", L"退出"};

// Wine's help viewer keeps running, and the help file open, after its
// window closes: the viewers go, so that the file is free again.
void EndHelpViewers()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(entry.szExeFile, L"hh.exe") == 0) {
            if (HANDLE viewer = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
                TerminateProcess(viewer, 0);
                WaitForSingleObject(viewer, 5000);
                CloseHandle(viewer);
            }
        }
    }
    CloseHandle(snapshot);
}

std::vector<std::string> Utf8(const std::vector<std::wstring>& texts)
{
    std::vector<std::string> out;
    for (const std::wstring& text : texts) {
        out.push_back(gui::Utf8(text));
    }
    return out;
}

TEST_F(TessalyTest, TheHotkeyTheTrayAndTheSettingsButtonPopUpTheMenu)
{
    StartManager();
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Utf8(ShownTexts(items)), Utf8(kFullMenu));
    Screenshot("pop-up-menu");
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"-关闭菜单-"));
    ASSERT_TRUE(gui::WaitForPopupMenuGone());

    // The settings button hides the first three lines; the hotkey then
    // keeps the menu as it is.
    ASSERT_TRUE(gui::ClickButton(m_Main, IDC_COMMAND4));
    menu = gui::WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ReadPopupMenu(menu, items));
    const std::vector<std::wstring> trimmed(kFullMenu.begin() + 3, kFullMenu.end());
    EXPECT_EQ(Utf8(ShownTexts(items)), Utf8(trimmed));
    Screenshot("pop-up-menu-from-the-settings-button");
    ASSERT_TRUE(gui::DismissMenu(menu));
    menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(Utf8(ShownTexts(items)), Utf8(trimmed));
    ASSERT_TRUE(gui::DismissMenu(menu));

    // The tray's right button, while the window is hidden, shows all lines.
    PostMessageW(m_Main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(gui::WaitForWindowGone(m_Main));
    ASSERT_TRUE(gui::PostTrayCallback(m_Main, WM_MOUSEMOVE, 1, WM_RBUTTONDOWN));
    menu = gui::WaitForPopupMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ReadPopupMenu(menu, items));
    EXPECT_EQ(Utf8(ShownTexts(items)), Utf8(kFullMenu));
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"打开软件"));
    EXPECT_TRUE(gui::WaitFor([&] { return IsWindowVisible(m_Main) != FALSE; }));
}

TEST_F(TessalyTest, TrayClicksWhileTheWindowIsVisibleDoNothing)
{
    StartManager();
    ASSERT_TRUE(gui::PostTrayCallback(m_Main, WM_MOUSEMOVE, 1, WM_RBUTTONDOWN));
    Sleep(500);
    EXPECT_EQ(gui::FindPopupMenu(), nullptr);
}

TEST_F(TessalyTest, TheAdviceDialogsShowTheirTextsAndClose)
{
    StartManager();
    struct Case {
        const wchar_t* item;
        const wchar_t* caption;
        const char* firstLine;
        const char* shot;
    };
    const Case cases[] = {
        {L"使用说明", L"使用说明", "1、请用系统管理员帐户才能成功创建保险柜；", "read-me-dialog"},
        {L"备份还原", L"备份和还原", "备份还原操作提示：", "backup-advice-dialog"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(gui::Utf8(c.caption));
        std::vector<gui::MenuItem> items;
        HWND menu = PopUpMenuByHotkey(items);
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(gui::ChooseMenuItem(menu, c.item));
        HWND dialog = WaitForDialog(c.caption);
        ASSERT_NE(dialog, nullptr);
        const std::string text = gui::Utf8(gui::ControlText(dialog, IDC_LABEL1));
        EXPECT_EQ(text.rfind(c.firstLine, 0), 0u) << text;
        EXPECT_NE(text.find("\r\n\r\n"), std::string::npos) << "an empty line between items";
        Screenshot(c.shot);
        ASSERT_TRUE(gui::ClickWithMouse(dialog, IDC_IMAGE2));
        EXPECT_TRUE(gui::WaitForWindowGone(dialog));
        if (std::wstring(c.caption) == L"使用说明") {
            // Then the shell opens the help file, in Windows' help viewer.
            HWND help = gui::WaitForWindow({L"Korvel多功能保险柜 帮助", std::nullopt, 0}, 15000);
            ASSERT_NE(help, nullptr) << "the help file did not open; windows:\n"
                                     << gui::DescribeWindows(gui::TopLevelWindows());
            Sleep(1000);
            EXPECT_TRUE(gui::SaveScreenshot("help-window"));
            wt::WineNote("Wine's help viewer shows the help file's contents and index, but no page: its HTML "
                         "engine (Gecko) is not packaged for Debian");
            PostMessageW(help, WM_CLOSE, 0, 0);
            EXPECT_TRUE(gui::WaitForWindowGone(help));
            EndHelpViewers();
        }
    }
    EXPECT_FALSE(gui::WaitForMessageBox(m_Manager.Id(), 1000));
}

TEST_F(TessalyTest, AMissingHelpFileIsNotTheManagersToReport)
{
    // Kept aside for the tests after this one.
    EndHelpViewers();
    ASSERT_TRUE(gui::WaitFor(
        [] { return MoveFileExW(L"C:\\Software\\tessaly.chm", L"C:\\tessaly.chm", MOVEFILE_REPLACE_EXISTING) != FALSE; },
        5000))
        << "error " << GetLastError();
    StartManager();
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"使用说明"));
    HWND dialog = WaitForDialog(L"使用说明");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(gui::ClickButton(dialog, IDC_IMAGE2));
    EXPECT_TRUE(gui::WaitForWindowGone(dialog));
    EXPECT_FALSE(gui::WaitForMessageBox(m_Manager.Id(), 1500)) << "no message from the manager";
    MoveFileExW(L"C:\\tessaly.chm", L"C:\\Software\\tessaly.chm", MOVEFILE_REPLACE_EXISTING);
}

TEST_F(TessalyTest, ThePasswordItemNeedsAnOpenVault)
{
    StartManager();
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"修改密码"));
    auto box = ExpectMessage(L"必须在打开保险柜后才能修改密码!");
    ASSERT_TRUE(box);
    Screenshot("message-open-a-vault-first");
    EXPECT_TRUE(gui::AnswerMessageBox(*box, IDOK));
}

TEST_F(TessalyTest, TheCloseButtonDoesNothingWithoutAnOpenVault)
{
    StartManager();
    ASSERT_TRUE(gui::ClickButton(m_Main, IDC_COMMAND3));
    EXPECT_FALSE(gui::WaitForMessageBox(m_Manager.Id(), 1500));
    wt::WineNote("S: is never a fixed drive under Wine, so closing and exiting never dismount here");
}

TEST_F(TessalyTest, UninstallRemovesTheRunValueAndEnds)
{
    // Kept aside, for the tests that come after this one.
    for (const wchar_t* name : {L"Vantor.dll", L"Pellix.dll"}) {
        CopyFileW((std::wstring(L"C:\\Software\\") + name).c_str(), (std::wstring(L"C:\\") + name).c_str(), FALSE);
    }
    StartManager();
    ASSERT_TRUE(RunValue());
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"卸载软件"));
    auto box = ExpectMessage(L"请妥善备份保险柜文件，卸载后将无法打开保险柜，确认要卸载本软件吗？", {IDOK, IDCANCEL});
    ASSERT_TRUE(box);
    Screenshot("message-confirm-uninstall");
    ASSERT_TRUE(gui::AnswerMessageBox(*box, IDOK));
    ASSERT_TRUE(m_Manager.WaitForExit(10000));
    EXPECT_FALSE(RunValue());
    EXPECT_NE(GetFileAttributesW(L"C:\\autorun.inf\\工作.sec"), INVALID_FILE_ATTRIBUTES) << "vaults stay";
    EXPECT_NE(GetFileAttributesW(kProgram), INVALID_FILE_ATTRIBUTES) << "the program file stays";
    for (const wchar_t* name : {L"Vantor.dll", L"Pellix.dll"}) {
        CopyFileW((std::wstring(L"C:\\") + name).c_str(), (std::wstring(L"C:\\Software\\") + name).c_str(), FALSE);
    }
}

}  // namespace
}  // namespace tessaly_wine
