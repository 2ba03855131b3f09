// The main window: start-up, the vault list, the tray icon and its
// callback, the hotkey and its window procedure, the pop-up menu, closing
// that only hides, and the open button's rules.
#include "shell/resource.h"
#include "shell/startup.h"
#include "shell/sub_class.h"
#include "shell/tray_icon.h"
#include "manager_fixture.h"

#include <host/drive_table.h>
#include <host/kernel_io.h>
#include <host/user32_hooks.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace korvel::test {
namespace {

using tessaly::EventArgs;
using tessaly::FormEvent;
using tessaly::MessageAnswer;

constexpr std::uint64_t kMiB = 1024 * 1024;

class MainWindowTest : public ManagerTest {
protected:
    // Delivers what was posted to our windows, as a message loop would.
    static void DispatchPosted()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }

    std::vector<std::string> ListLines() const
    {
        std::vector<std::string> lines;
        for (const tessaly::Text& line : m_Main->List1().Items()) {
            lines.push_back(U8(line));
        }
        return lines;
    }

    // What a start that could not start the driver leaves.
    void ExpectDriverFailure(const ScriptedUi& ui)
    {
        EXPECT_TRUE(ui.ended);
        EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Korvel保险柜加密驱动加载失败！"});
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(U8(ui.messages[0].caption), "Korvel多功能保险柜");
        EXPECT_EQ(ui.messages[0].buttons, tessaly::MessageButtons::Ok);
        EXPECT_TRUE(host::NotifyIcons().empty()) << "the start ends before the tray icon";
        EXPECT_FALSE(host::ObjectNameExists(u"\\Device\\VantorDevice0")) << "the service was uninstalled again";
        EXPECT_EQ(GetPropW(m_Window, L"OldWndProc"), nullptr);
    }

    void CloseRequest(bool expectGranted)
    {
        EXPECT_EQ(m_Main->QueryClose(), expectGranted);
    }
};

TEST(ArgumentText, IsWhatFollowsTheProgramName)
{
    struct Case {
        const char16_t* commandLine;
        const char* arguments;
    };
    const Case cases[] = {
        {u"\"C:\\Software\\tessaly.exe\" /h", "/h"},
        {u"C:\\Software\\tessaly.exe /h", "/h"},
        {u"\"C:\\Program Files\\K\\tessaly.exe\"  /h x", "/h x"},
        {u"tessaly.exe", ""},
        {u"\"C:\\Software\\tessaly.exe\"", ""},
        {u"tessaly.exe /H", "/H"},
        {u"tessaly.exe /h ", "/h "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(U8(tessaly::ArgumentText(c.commandLine)), c.arguments);
    }
}

TEST_F(MainWindowTest, OnlyTheExactSwitchStartsHidden)
{
    struct Case {
        const char16_t* arguments;
        bool visible;
    };
    const Case cases[] = {{u"/h", false}, {u"/H", true}, {u"/h x", true}, {u"/h ", true}, {u"", true}, {u"-h", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.arguments));
        tessaly::MainWindow main(*m_Manager);
        main.Attach(m_Window, m_Icon);
        main.SetArguments(c.arguments);
        main.Load();
        EXPECT_EQ(main.Visible(), c.visible);
        tessaly::UnhookWindow(m_Window);
        UnregisterHotKey(m_Window, tessaly::kHotkeyId);
        Shell_NotifyIconA(NIM_DELETE, const_cast<NOTIFYICONDATAA*>(&main.TrayRecord()));
    }
}

TEST_F(MainWindowTest, TheRunValueIsWrittenOnlyWhenItDiffers)
{
    const std::string ours = "C:\\Software\\tessaly.exe /h";
    struct Case {
        const char* label;
        const char* stored;  // nullptr: no value
        bool written;
    };
    const Case cases[] = {
        {"missing", nullptr, true},
        {"another folder", "D:\\Old\\tessaly.exe /h", true},
        {"without the switch", "C:\\Software\\tessaly.exe", true},
        {"ours", "C:\\Software\\tessaly.exe /h", false},
        {"ours with a blank in front, which reading drops", "  C:\\Software\\tessaly.exe /h", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        HKEY run = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
        RegDeleteValueA(run, "tessaly");
        RegCloseKey(run);
        if (c.stored != nullptr) {
            StoreRunValue(c.stored);
        }
        EXPECT_EQ(tessaly::UpdateRunEntry(*m_Manager), c.written);
        EXPECT_EQ(StoredRunValue(), c.written ? ours : std::string(c.stored));
    }
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(MainWindowTest, AStartRegistersTheProgramAndStartsTheDriver)
{
    LoadMainWindow();
    EXPECT_EQ(StoredRunValue(), "C:\\Software\\tessaly.exe /h");
    EXPECT_TRUE(host::ObjectNameExists(u"\\Device\\VantorDevice0")) << "the driver service runs";
    EXPECT_FALSE(m_Ui.ended);
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(MainWindowTest, ARegistryThatCannotBeWrittenDoesNotStopTheStart)
{
    ASSERT_TRUE(host::RefuseRegistryWrites(HKEY_LOCAL_MACHINE, u"SOFTWARE"));
    LoadMainWindow();
    EXPECT_EQ(StoredRunValue(), "<none>");
    EXPECT_TRUE(host::ObjectNameExists(u"\\Device\\VantorDevice0"));
    EXPECT_EQ(host::NotifyIcons().size(), 1u);
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(MainWindowTest, ADriverThatCannotStartEndsTheProcessWithItsMessage)
{
    enum class Fault { NoLibrary, NoDriverFile, NotAdministrator };
    struct Case {
        const char* label;
        Fault fault;
    };
    const Case cases[] = {
        {"no control library", Fault::NoLibrary},
        {"no driver file", Fault::NoDriverFile},
        {"not an administrator", Fault::NotAdministrator},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        switch (c.fault) {
        case Fault::NoLibrary:
            std::filesystem::remove(HostPath("Software/Pellix.dll"));
            break;
        case Fault::NoDriverFile:
            std::filesystem::remove(HostPath("Software/Vantor.dll"));
            break;
        case Fault::NotAdministrator:
            host::RefuseServiceManager(true);
            break;
        }
        {
            ScriptedUi ui;
            tessaly::Manager manager(ui, u"C:\\Software");
            tessaly::MainWindow main(manager);
            main.Attach(m_Window, m_Icon);
            main.Load();
            ExpectDriverFailure(ui);
        }
        host::RefuseServiceManager(false);
        std::filesystem::copy_file(VANTOR_IMAGE, HostPath("Software/Vantor.dll"),
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::copy_file(PELLIX_IMAGE, HostPath("Software/Pellix.dll"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

TEST_F(MainWindowTest, TheScanListsVaultsOnFixedDrivesExceptA)
{
    ScratchFolder driveA;
    ScratchFolder removable;
    ScratchFolder network;
    ScratchFolder secondFixed;
    host::MapDrive('A', host::Drive{driveA.Path(), host::DriveType::Fixed, std::nullopt});
    host::MapDrive('D', host::Drive{removable.Path(), host::DriveType::Removable, std::nullopt});
    host::MapDrive('E', host::Drive{network.Path(), host::DriveType::Remote, std::nullopt});
    host::MapDrive('H', host::Drive{secondFixed.Path(), host::DriveType::Fixed, std::nullopt});
    auto vaultOn = [](const ScratchFolder& drive, const char* name) {
        std::filesystem::create_directories(drive.Path() + "/autorun.inf");
        std::ofstream(drive.Path() + "/autorun.inf/" + name).put('x');
    };
    vaultOn(driveA, "a.sec");
    vaultOn(removable, "usb.sec");
    vaultOn(network, "net.sec");
    MakeFile("autorun.inf/normal.sec", 500 * kMiB);
    MakeFile("autorun.inf/hidden.sec", 2 * kMiB, FILE_ATTRIBUTE_HIDDEN);
    MakeFile("autorun.inf/system.sec", 3 * kMiB, FILE_ATTRIBUTE_SYSTEM);
    MakeFile("autorun.inf/readonly.sec", 4 * kMiB, FILE_ATTRIBUTE_READONLY);
    MakeFile("autorun.inf/big.sec", 5 * 1024 * kMiB + 1024);
    MakeFile("autorun.inf/notes.txt", kMiB);
    MakeFile("autorun.inf/工作.sec", 1024 * kMiB);
    std::filesystem::create_directories(secondFixed.Path() + "/autorun.inf");
    std::ofstream(secondFixed.Path() + "/autorun.inf/other.sec").put('x');

    LoadMainWindow();
    std::vector<std::string> lines = ListLines();
    ASSERT_EQ(lines.size(), 7u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), "H:\\autorun.inf\\other.sec，保险柜容量:0M") << "drives in the order Windows lists them";
    lines.pop_back();
    std::sort(lines.begin(), lines.end());
    const std::vector<std::string> expected = {
        "C:\\autorun.inf\\big.sec，保险柜容量:5G",      "C:\\autorun.inf\\hidden.sec，保险柜容量:2M",
        "C:\\autorun.inf\\normal.sec，保险柜容量:500M", "C:\\autorun.inf\\readonly.sec，保险柜容量:4M",
        "C:\\autorun.inf\\system.sec，保险柜容量:3M",   "C:\\autorun.inf\\工作.sec，保险柜容量:1G",
    };
    EXPECT_EQ(lines, expected);
    host::UnmapDrive('A');
    host::UnmapDrive('D');
    host::UnmapDrive('E');
    host::UnmapDrive('H');
}

TEST_F(MainWindowTest, AMountedVaultIsListedWithItsSize)
{
    ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
    ASSERT_TRUE(MountVault("autorun.inf\\open.sec", u"pw", 8));
    LoadMainWindow();
    EXPECT_EQ(ListLines(), std::vector<std::string>{"C:\\autorun.inf\\open.sec，保险柜容量:8M"})
        << "the driver holds the file without sharing; its size is still read";
}

TEST_F(MainWindowTest, TheTrayIconAndTheHotkeyBelongToTheMainWindow)
{
    LoadMainWindow();
    const NOTIFYICONDATAA& record = m_Main->TrayRecord();
    EXPECT_EQ(record.cbSize, NOTIFYICONDATAA_V1_SIZE);
    EXPECT_EQ(record.cbSize, sizeof(void*) == 8 ? 104u : 88u);
    EXPECT_EQ(record.hWnd, m_Window);
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, 3u) << "callback and icon, no tip";
    EXPECT_EQ(record.uCallbackMessage, 0x0200u);
    EXPECT_EQ(record.hIcon, m_Icon);
    const std::vector<host::NotifyIcon> icons = host::NotifyIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].hWnd, m_Window);
    EXPECT_EQ(icons[0].hIcon, m_Icon);

    EXPECT_TRUE(host::PressHotKey(MOD_ALT | MOD_CONTROL, 0x59)) << "Alt+Ctrl+Y is ours";
    const std::vector<MSG> posted = host::PostedMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].hwnd, m_Window);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_HOTKEY));
    EXPECT_EQ(posted[0].wParam, 0u);
    EXPECT_EQ(posted[0].lParam, MAKELPARAM(3, 0x59));
    DispatchPosted();
    EXPECT_EQ(m_Ui.menus.size(), 1u) << "the hotkey pops up the menu";
    EXPECT_NE(GetPropW(m_Window, L"OldWndProc"), nullptr);
}

TEST_F(MainWindowTest, AHotkeyHeldByAnotherProgramDoesNotStopTheStart)
{
    host::ReserveHotKeyForAnotherProgram(MOD_ALT | MOD_CONTROL, 0x59);
    LoadMainWindow();
    EXPECT_FALSE(m_Ui.ended);
    EXPECT_EQ(host::NotifyIcons().size(), 1u);
    EXPECT_FALSE(host::PressHotKey(MOD_ALT | MOD_CONTROL, 0x59));
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(MainWindowTest, TheHookPassesEveryMessageOnAndActsOnlyOnOurHotkey)
{
    LoadMainWindow();
    struct Case {
        const char* label;
        WPARAM id;
        LPARAM keys;
        bool pops;
    };
    const Case cases[] = {
        {"Alt+Ctrl+Y", 0, MAKELPARAM(3, 0x59), true},
        {"another hotkey id", 1, MAKELPARAM(3, 0x59), false},
        {"Alt+Y", 0, MAKELPARAM(1, 0x59), false},
        {"Alt+Ctrl+Z", 0, MAKELPARAM(3, 0x5A), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::size_t before = m_Ui.menus.size();
        SendMessageW(m_Window, WM_HOTKEY, c.id, c.keys);
        EXPECT_EQ(m_Ui.menus.size(), before + (c.pops ? 1 : 0));
    }
    // Messages still reach the window's own procedure: its text, for one.
    SendMessageW(m_Window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"新标题"));
    WCHAR text[16] = {};
    SendMessageW(m_Window, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(Narrow(text), "新标题");
}

TEST_F(MainWindowTest, HookingIsRefusedTwiceAndUndoneWhenThePropertyCannotBeKept)
{
    const LONG_PTR original = GetWindowLongPtrW(m_Window, GWLP_WNDPROC);
    EXPECT_FALSE(tessaly::UnhookWindow(m_Window)) << "not hooked yet";

    host::FailSetProps(1);
    EXPECT_FALSE(tessaly::HookWindow(m_Window));
    EXPECT_EQ(GetWindowLongPtrW(m_Window, GWLP_WNDPROC), original) << "the previous procedure is back";
    EXPECT_EQ(GetPropW(m_Window, L"OldWndProc"), nullptr);

    EXPECT_TRUE(tessaly::HookWindow(m_Window));
    EXPECT_EQ(GetWindowLongPtrW(m_Window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&tessaly::HookWindowProc));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(m_Window, L"OldWndProc")), original);
    EXPECT_FALSE(tessaly::HookWindow(m_Window)) << "hooked already";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(m_Window, L"OldWndProc")), original);

    EXPECT_TRUE(tessaly::UnhookWindow(m_Window));
    EXPECT_EQ(GetWindowLongPtrW(m_Window, GWLP_WNDPROC), original);
    EXPECT_EQ(GetPropW(m_Window, L"OldWndProc"), nullptr);
    EXPECT_FALSE(tessaly::UnhookWindow(m_Window));
}

TEST_F(MainWindowTest, TrayClicksActOnlyWhileTheWindowIsHidden)
{
    struct Case {
        const char* label;
        bool hidden;
        unsigned code;
        bool shows;
        bool pops;
    };
    const Case cases[] = {
        {"left button, hidden", true, WM_LBUTTONDOWN, true, false},
        {"right button, hidden", true, WM_RBUTTONDOWN, false, true},
        {"left button up, hidden", true, WM_LBUTTONUP, false, false},
        {"double click, hidden", true, WM_LBUTTONDBLCLK, false, false},
        {"left button, visible", false, WM_LBUTTONDOWN, false, false},
        {"right button, visible", false, WM_RBUTTONDOWN, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedUi ui;
        tessaly::Manager manager(ui, u"C:\\Software");
        tessaly::MainWindow main(manager);
        main.Attach(m_Window, m_Icon);
        main.SetArguments(c.hidden ? u"/h" : u"");
        main.Load();
        if (c.hidden) {
            EXPECT_TRUE(main.QueryClose() == false);  // counter 1 now
        }
        ui.shown.clear();
        EventArgs args;
        args.x = static_cast<int>(c.code);
        main.OnEvent(0, FormEvent::MouseMove, args);
        EXPECT_EQ(main.Visible(), !c.hidden || c.shows);
        EXPECT_EQ(!ui.shown.empty() && ui.shown.back().second, c.shows);
        EXPECT_EQ(ui.menus.size(), c.pops ? 1u : 0u);
        if (c.shows) {
            EXPECT_EQ(main.CloseRequests(), 0) << "showing from the tray resets the close count";
        }
        manager.pellix.SysDiskUnInstall();
        tessaly::UnhookWindow(m_Window);
        UnregisterHotKey(m_Window, tessaly::kHotkeyId);
        Shell_NotifyIconA(NIM_DELETE, const_cast<NOTIFYICONDATAA*>(&main.TrayRecord()));
    }
}

TEST_F(MainWindowTest, TheFirstCloseAfterShowingOnlyHides)
{
    LoadMainWindow();
    CloseRequest(false);
    EXPECT_FALSE(m_Main->Visible());
    EXPECT_EQ(m_Main->CloseRequests(), 1);
    EventArgs left;
    left.x = WM_LBUTTONDOWN;
    m_Main->OnEvent(0, FormEvent::MouseMove, left);
    EXPECT_TRUE(m_Main->Visible());
    EXPECT_EQ(m_Main->CloseRequests(), 0);
    CloseRequest(false);
    EXPECT_EQ(m_Main->CloseRequests(), 1);
    // Closed again without being shown through the tray or the menu: the
    // close is granted; the tray icon stays until the process ends.
    CloseRequest(true);
    EXPECT_EQ(m_Main->CloseRequests(), 2);
    EXPECT_EQ(host::NotifyIcons().size(), 1u);
    // The menu's "打开软件" shows the window and resets the count as well.
    m_Main->OnMenuCommand(IDM_OPEN);
    EXPECT_TRUE(m_Main->Visible());
    EXPECT_EQ(m_Main->CloseRequests(), 0);
}

TEST_F(MainWindowTest, TheMenuShowsItsFirstLinesAsTheLastPopUpLeftThem)
{
    LoadMainWindow(u"/h");
    const std::vector<int> full = {IDM_CLOSE_MENU, 0, IDM_OPEN, 0, IDM_PASSWORD, 0, IDM_BACKUP, 0, IDM_UNINSTALL,
                                   0, IDM_README, 0, IDM_EXIT};
    const std::vector<int> trimmed(full.begin() + 3, full.end());
    enum class Act { Hotkey, SettingsButton, TrayRightButton };
    struct Step {
        const char* label;
        Act act;
        std::vector<int> menu;
    };
    const Step steps[] = {
        {"hotkey at start", Act::Hotkey, full},
        {"the settings button", Act::SettingsButton, trimmed},
        {"hotkey after the button", Act::Hotkey, trimmed},
        {"tray right button", Act::TrayRightButton, full},
        {"hotkey after the tray", Act::Hotkey, full},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        switch (step.act) {
        case Act::Hotkey:
            SendMessageW(m_Window, WM_HOTKEY, 0, MAKELPARAM(3, 0x59));
            break;
        case Act::SettingsButton:
            m_Main->OnEvent(IDC_COMMAND4, FormEvent::Click, {});
            break;
        case Act::TrayRightButton: {
            EventArgs right;
            right.x = WM_RBUTTONDOWN;
            m_Main->OnEvent(0, FormEvent::MouseMove, right);
            break;
        }
        }
        EXPECT_EQ(m_Ui.LastMenuCommands(), step.menu);
    }
    const std::vector<tessaly::MenuLine>& lines = m_Ui.menus.front();
    std::vector<std::string> captions;
    for (const tessaly::MenuLine& line : lines) {
        captions.push_back(line.separator ? "-" : U8(line.caption));
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"-关闭菜单-", "-", "打开软件", "-", "修改密码", "-", "备份还原", "-",
                                                  "卸载软件", "-", "使用说明", "-", "退出"}));
}

TEST_F(MainWindowTest, TheListShowsAPointingHandWhileNoButtonIsHeld)
{
    LoadMainWindow();
    EventArgs noButton;
    m_Main->OnEvent(IDC_LIST1, FormEvent::MouseMove, noButton);
    EventArgs leftHeld;
    leftHeld.buttons = 1;
    m_Main->OnEvent(IDC_LIST1, FormEvent::MouseMove, leftHeld);
    EXPECT_EQ(m_Ui.pointers, std::vector<tessaly::Pointer>{tessaly::Pointer::PointingHand});
}

TEST_F(MainWindowTest, TheOpenButtonChecksTheLineItOpens)
{
    struct Case {
        const char* label;
        std::vector<const char16_t*> lines;
        int selected;
        const char* message;  // nullptr: none
        const char* started;  // nullptr: nothing started
        bool dialog;
    };
    const Case cases[] = {
        {"empty list", {}, -1, "未检测到保险柜，请新建！", nullptr, false},
        {"empty line", {u""}, -1, "未检测到保险柜，请新建！", nullptr, false},
        {"not a drive path", {u"vault.sec，保险柜容量:1G"}, -1, "未检测到保险柜，请新建！", nullptr, false},
        {"first line when none is selected", {u"C:\\autorun.inf\\a.sec，保险柜容量:1G", u"bad"}, -1, nullptr,
         nullptr, true},
        {"the selected line", {u"C:\\autorun.inf\\a.sec，保险柜容量:1G", u"bad"}, 1, "未检测到保险柜，请新建！",
         nullptr, false},
        {"an open vault", {u"C:\\autorun.inf\\a.sec，保险柜容量:1G，盘符:S:"}, -1, nullptr, "explorer.exe S:", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedUi ui;
        tessaly::Manager manager(ui, u"C:\\Software");
        tessaly::MainWindow main(manager);
        for (const char16_t* line : c.lines) {
            main.List1().Add(line);
        }
        main.List1().Select(c.selected);
        host::ClearRecordedProcessStarts();
        main.OnEvent(IDC_COMMAND2, FormEvent::Click, {});
        EXPECT_EQ(ui.MessageTexts(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(StartedCommandLines(), c.started ? std::vector<std::string>{c.started} : std::vector<std::string>{});
        if (c.started != nullptr) {
            ASSERT_EQ(host::RecordedProcessStarts().size(), 1u);
            EXPECT_EQ(host::RecordedProcessStarts()[0].showWindow, std::optional<WORD>(SW_SHOWNORMAL));
        }
        EXPECT_EQ(ui.modalDialogs, c.dialog ? std::vector<int>{IDD_OPEN} : std::vector<int>{});
        // A double click on the list does the same.
        ui.messages.clear();
        ui.modalDialogs.clear();
        main.OnEvent(IDC_LIST1, FormEvent::DoubleClick, {});
        EXPECT_EQ(ui.MessageTexts(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(ui.modalDialogs, c.dialog ? std::vector<int>{IDD_OPEN} : std::vector<int>{});
    }
}

TEST_F(MainWindowTest, TheAdviceItemsShowTheirDialogsAndTheReadMeThenTheHelpFile)
{
    LoadMainWindow();
    std::vector<std::string> order;
    m_Ui.inDialog[IDD_README] = [&](tessaly::Form&) {
        order.push_back("read-me dialog");
        EXPECT_TRUE(host::ShellExecuteRequests().empty()) << "the help file waits for the dialog";
    };
    m_Main->OnMenuCommand(IDM_README);
    const auto requests = host::ShellExecuteRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].operation, std::optional<std::u16string>(u"open"));
    EXPECT_EQ(requests[0].file, std::optional<std::u16string>(u"C:\\Software\\tessaly.chm"));
    EXPECT_EQ(requests[0].showCmd, SW_SHOWNORMAL);
    EXPECT_EQ(order, std::vector<std::string>{"read-me dialog"});
    EXPECT_TRUE(m_Ui.messages.empty()) << "a missing help file is not ours to report";

    host::ClearShellExecuteRequests();
    m_Main->OnMenuCommand(IDM_BACKUP);
    EXPECT_EQ(m_Ui.modalDialogs, (std::vector<int>{IDD_README, IDD_BACKUP}));
    EXPECT_TRUE(host::ShellExecuteRequests().empty());

    m_Main->OnMenuCommand(IDM_CLOSE_MENU);
    EXPECT_EQ(m_Ui.modalDialogs.size(), 2u);
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(MainWindowTest, ThePasswordItemNeedsAnOpenVault)
{
    LoadMainWindow();
    m_Main->OnMenuCommand(IDM_PASSWORD);
    EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{"必须在打开保险柜后才能修改密码!"});
    EXPECT_TRUE(m_Ui.modalDialogs.empty());

    ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
    ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"pw", 8));
    m_Ui.messages.clear();
    m_Main->OnMenuCommand(IDM_PASSWORD);
    EXPECT_TRUE(m_Ui.messages.empty());
    EXPECT_EQ(m_Ui.modalDialogs, std::vector<int>{IDD_PASSWORD});
}

TEST(SingleInstance, ASecondStartFindsTheFirst)
{
    tessaly::SingleInstance first;
    EXPECT_FALSE(first.AnotherIsRunning());
    {
        tessaly::SingleInstance second;
        EXPECT_TRUE(second.AnotherIsRunning());
    }
    tessaly::SingleInstance third;
    EXPECT_TRUE(third.AnotherIsRunning()) << "the first still runs";
}

TEST_F(MainWindowTest, ASecondStartOnlyAsksTheShellToOpenTheVaultDrive)
{
    tessaly::AskShellToOpenVaultDrive();
    const auto requests = host::ShellExecuteRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].operation, std::optional<std::u16string>(u"open"));
    EXPECT_EQ(requests[0].file, std::optional<std::u16string>(u"S:"));
    EXPECT_EQ(requests[0].parameters, std::optional<std::u16string>(u""));
    EXPECT_EQ(requests[0].directory, std::optional<std::u16string>(u""));
    EXPECT_EQ(requests[0].showCmd, SW_SHOWNORMAL);
    EXPECT_LE(reinterpret_cast<INT_PTR>(requests[0].answer), 32) << "no S: here: the shell says so, and nobody minds";
}

}  // namespace
}  // namespace korvel::test
