// The tray icon's callback, its pop-up menu, and choosing from it.
#include "menu_expectations.h"
#include "sample_fixture.h"
#include "sample_ids.h"
#include "sample_texts.h"

namespace selftest {

void ExpectSampleMenu(const std::vector<gui::MenuItem>& items)
{
    struct Expected {
        UINT id;
        const wchar_t* text;
        const wchar_t* shown;
        bool separator;
        bool grayed;
    } expected[] = {
        {IDM_OPEN, sample::kMenuOpen, L"打开保险柜(O)", false, false},
        {IDM_CLOSE, sample::kMenuClose, L"关闭保险柜(C)", false, false},
        {0, L"", L"", true, false},
        {IDM_DISABLED, sample::kMenuDisabled, sample::kMenuDisabled, false, true},
        {IDM_EXIT, sample::kMenuExit, L"退出(X)", false, false},
    };
    ASSERT_EQ(items.size(), std::size(expected));
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(items[i].id, expected[i].id);
        EXPECT_EQ(items[i].text, expected[i].text);
        EXPECT_EQ(items[i].ShownText(), expected[i].shown);
        EXPECT_EQ(items[i].separator, expected[i].separator);
        EXPECT_EQ(items[i].grayed, expected[i].grayed);
        EXPECT_FALSE(items[i].checked);
        EXPECT_FALSE(items[i].hasSubmenu);
    }
}

namespace {

TEST(MenuItem, ShownTextDropsMarksAndAccelerators)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {
        {L"打开(&O)", L"打开(O)"}, {L"&Open", L"Open"},          {L"Save && quit", L"Save & quit"},
        {L"Copy\tCtrl+C", L"Copy"}, {L"trailing &", L"trailing "}, {L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(gui::Utf8(c.text));
        gui::MenuItem item;
        item.text = c.text;
        EXPECT_EQ(item.ShownText(), c.shown);
    }
}

class TrayMenuTest : public SampleTest {
protected:
    HWND OpenTrayMenu(UINT mouseMessage = WM_RBUTTONUP)
    {
        EXPECT_TRUE(gui::PostTrayCallback(m_Dialog, WM_SAMPLE_TRAY, SAMPLE_TRAY_ICON_ID, mouseMessage));
        return gui::WaitForPopupMenu();
    }
};

TEST_F(TrayMenuTest, ReadsTheMenuAndChoosesByTextOrPosition)
{
    struct Case {
        const char* how;
        std::wstring text;  // empty: by position
        size_t position;
        std::wstring status;
    } cases[] = {
        {"stored text", sample::kMenuClose, 0, sample::kStatusMenu + std::wstring(sample::kMenuClose)},
        {"shown text", L"打开保险柜(O)", 0, sample::kStatusMenu + std::wstring(sample::kMenuOpen)},
        {"position", L"", 1, sample::kStatusMenu + std::wstring(sample::kMenuClose)},
    };
    bool shot = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        SetDlgItemTextW(m_Dialog, IDC_STATUS, L"");  // the status must change because of this choice
        const HWND menu = OpenTrayMenu();
        ASSERT_NE(menu, nullptr) << gui::DescribeWindows(gui::TopLevelWindows());
        std::vector<gui::MenuItem> items;
        ASSERT_TRUE(gui::ReadPopupMenu(menu, items));
        ExpectSampleMenu(items);
        if (!shot) {
            Screenshot("sample-tray-menu");
            shot = true;
        }
        ASSERT_TRUE(c.text.empty() ? gui::ChooseMenuItemAt(menu, c.position) : gui::ChooseMenuItem(menu, c.text));
        EXPECT_TRUE(StatusBecomes(c.status));
    }
}

TEST_F(TrayMenuTest, OnlyTheRightButtonOpensTheMenu)
{
    for (UINT mouseMessage : {static_cast<UINT>(WM_MOUSEMOVE), static_cast<UINT>(WM_LBUTTONDOWN)}) {
        SCOPED_TRACE(mouseMessage);
        ASSERT_TRUE(gui::PostTrayCallback(m_Dialog, WM_SAMPLE_TRAY, SAMPLE_TRAY_ICON_ID, mouseMessage));
        EXPECT_EQ(gui::WaitForPopupMenu(300), nullptr);
    }
    EXPECT_NE(OpenTrayMenu(WM_RBUTTONDOWN), nullptr);
}

TEST_F(TrayMenuTest, RefusesWhatCannotBeChosenAndDismisses)
{
    const HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(gui::ChooseMenuItem(menu, sample::kMenuDisabled));
    EXPECT_FALSE(gui::ChooseMenuItem(menu, L"没有这一项"));
    EXPECT_FALSE(gui::ChooseMenuItemAt(menu, 2));   // the separator
    EXPECT_FALSE(gui::ChooseMenuItemAt(menu, 5));   // past the end
    EXPECT_EQ(gui::FindPopupMenu(), menu);
    ASSERT_TRUE(gui::DismissMenu(menu));
    EXPECT_TRUE(gui::WaitForPopupMenuGone());
    EXPECT_EQ(Status(), sample::kStatusReady);

    std::vector<gui::MenuItem> items(1);
    EXPECT_FALSE(gui::ReadPopupMenu(m_Dialog, items));  // not a menu window
    EXPECT_TRUE(items.empty());
}

TEST_F(TrayMenuTest, ExitFromTheMenuEndsTheProgramWithItsCode)
{
    const HWND menu = OpenTrayMenu();
    ASSERT_NE(menu, nullptr);
    // By position: the Down presses pass over the separator and stop on the
    // grayed item, as in Windows.
    ASSERT_TRUE(gui::ChooseMenuItemAt(menu, 4));
    ASSERT_TRUE(m_Program.WaitForExit(10000));
    EXPECT_EQ(m_Program.ExitCode(), static_cast<DWORD>(SAMPLE_EXIT_CODE));
    EXPECT_TRUE(gui::WaitForWindowGone(m_Dialog));
    Screenshot("sample-exited-from-tray-menu");
}

}  // namespace
}  // namespace selftest
