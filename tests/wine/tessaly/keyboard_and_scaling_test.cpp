// What people expect of any dialog: it works by keyboard alone, in a
// sensible order; and the manager keeps its layout when Windows scales the
// display.
#include "tessaly_fixture.h"

#include "../../../manager/shell/resource.h"
#include "wine_support.h"

namespace tessaly_wine {
namespace {

// The control that has the keyboard focus in the window's thread.
int FocusedId(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) || info.hwndFocus == nullptr) {
        return 0;
    }
    return GetDlgCtrlID(info.hwndFocus);
}

std::vector<int> TabOrder(HWND window, size_t steps)
{
    std::vector<int> order{FocusedId(window)};
    for (size_t i = 1; i < steps; ++i) {
        EXPECT_TRUE(gui::PressKeys({VK_TAB}));
        gui::WaitFor([&] { return FocusedId(window) != order.back(); }, 2000);
        order.push_back(FocusedId(window));
    }
    return order;
}

TEST_F(TessalyTest, EveryDialogWorksByKeyboardAlone)
{
    StartManager();
    SetForegroundWindow(m_Main);
    ASSERT_TRUE(gui::WaitFor([&] { return GetForegroundWindow() == m_Main; }, 3000));
    EXPECT_EQ(TabOrder(m_Main, 6),
              (std::vector<int>{IDC_LIST1, IDC_COMMAND1, IDC_COMMAND2, IDC_COMMAND3, IDC_COMMAND4, IDC_LIST1}));

    // Enter on the list opens its vault: the password dialog, whose box has
    // the focus; Enter there tries the password.
    ASSERT_TRUE(gui::PressKeys({VK_RETURN}));
    HWND open = WaitForDialog(L"打开保险柜");
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return FocusedId(open) == IDC_TXTPASSWORD; }, 3000));
    EXPECT_EQ(TabOrder(open, 4), (std::vector<int>{IDC_TXTPASSWORD, IDC_IMAGE2, IDC_IMAGE3, IDC_TXTPASSWORD}));
    // A password box keeps its text from other programs; the refusal below
    // shows that the typing arrived.
    ASSERT_TRUE(gui::PressKeys({'X', 'Y', 'Z'}));
    ASSERT_TRUE(gui::PressKeys({VK_RETURN}));
    auto refused = ExpectMessage(L"打开保险柜失败，请检查密码是否正确?!");
    ASSERT_TRUE(refused);
    ASSERT_TRUE(gui::PressKeys({VK_RETURN}));
    ASSERT_TRUE(gui::WaitForWindowGone(refused->window));
    // Escape closes the dialog.
    ASSERT_TRUE(gui::WaitFor([&] { return GetForegroundWindow() == open; }, 3000));
    ASSERT_TRUE(gui::PressKeys({VK_ESCAPE}));
    ASSERT_TRUE(gui::WaitForWindowGone(open));

    // The create dialog from its button, by Tab and Space.
    ASSERT_TRUE(gui::WaitFor([&] { return GetForegroundWindow() == m_Main; }, 3000));
    ASSERT_TRUE(gui::PressKeys({VK_TAB, VK_SPACE}));
    HWND create = WaitForDialog(L"Korvel保险柜创建");
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(TabOrder(create, 7), (std::vector<int>{IDC_COMBO1, IDC_TXTNAME, IDC_TXTSIZE, IDC_TXTPASSWORD,
                                                      IDC_IMAGE2, IDC_IMAGE3, IDC_COMBO1}));
    // Enter with the focus on the create picture checks the input.
    ASSERT_TRUE(gui::PressKeys({VK_TAB, VK_TAB, VK_TAB, VK_TAB}));
    ASSERT_TRUE(gui::WaitFor([&] { return FocusedId(create) == IDC_IMAGE2; }, 2000));
    Screenshot("create-dialog-picture-button-focused");
    ASSERT_TRUE(gui::PressKeys({VK_RETURN}));
    auto noName = ExpectMessage(L"保险柜名称不能为空!");
    ASSERT_TRUE(noName);
    ASSERT_TRUE(gui::AnswerMessageBox(*noName, IDOK));
    ASSERT_TRUE(gui::WaitFor([&] { return GetForegroundWindow() == create; }, 3000));
    ASSERT_TRUE(gui::PressKeys({VK_ESCAPE}));
    ASSERT_TRUE(gui::WaitForWindowGone(create));
    // As a person would, wait for the main window to come back to the front:
    // a menu popped up before that would close when it does.
    ASSERT_TRUE(gui::WaitFor([&] { return GetForegroundWindow() == m_Main; }, 3000));

    // The menu by keyboard, and the read-me dialog closed by Escape.
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"使用说明"));
    HWND readMe = WaitForDialog(L"使用说明");
    ASSERT_NE(readMe, nullptr);
    ASSERT_TRUE(gui::WaitFor([&] { return FocusedId(readMe) == IDC_IMAGE2; }, 3000)) << "the close picture takes the focus";
    ASSERT_TRUE(gui::PressKeys({VK_ESCAPE}));
    EXPECT_TRUE(gui::WaitForWindowGone(readMe));
}

TEST_F(TessalyTest, TheHotkeyMenuStaysUsableWhileADialogIsOpen)
{
    StartManager();
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"备份还原"));
    HWND backup = WaitForDialog(L"备份和还原");
    ASSERT_NE(backup, nullptr);
    menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr) << "the hotkey works over a modal dialog";
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"退出"));
    EXPECT_TRUE(m_Manager.WaitForExit(10000)) << "exit ends the manager with the dialog open";
}

// The manager at 150 % scaling: Wine reads the display's dpi from the
// registry when a program starts.
class ScaledDisplayTest : public TessalyTest {
protected:
    void SetUp() override
    {
        TessalyTest::SetUp();
        HKEY desktop = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &desktop, nullptr),
                  ERROR_SUCCESS);
        const DWORD dpi = 144;
        RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi), sizeof(dpi));
        RegCloseKey(desktop);
    }
    void TearDown() override
    {
        TessalyTest::TearDown();
        HKEY desktop = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_SET_VALUE, &desktop) == ERROR_SUCCESS) {
            RegDeleteValueW(desktop, L"LogPixels");
            RegCloseKey(desktop);
        }
    }
};

TEST_F(ScaledDisplayTest, TheMainWindowAndTheDialogsGrowWithTheDisplay)
{
    StartManager();
    RECT client{};
    GetClientRect(m_Main, &client);
    if (client.right == 414) {
        wt::WineNote("this Wine ignores LogPixels at start: the 150 %% layout was not shown");
        return;
    }
    EXPECT_EQ(client.right, 621);
    EXPECT_EQ(client.bottom, 333);
    Screenshot("main-window-150-percent");
    ASSERT_TRUE(gui::ClickButton(m_Main, IDC_COMMAND1));
    HWND create = WaitForDialog(L"Korvel保险柜创建");
    ASSERT_NE(create, nullptr);
    Screenshot("create-dialog-150-percent");
    ASSERT_TRUE(gui::ClickButton(create, IDC_IMAGE3));
    EXPECT_TRUE(gui::WaitForWindowGone(create));
}

}  // namespace
}  // namespace tessaly_wine
