// The Alt+Ctrl+Y hotkey, given through X as a keyboard would, and the
// request service's refusals.
#include "menu_expectations.h"
#include "sample_fixture.h"
#include "sample_ids.h"
#include "sample_texts.h"

namespace selftest {
namespace {

TEST_F(SampleTest, HotkeyThroughXOpensTheMenu)
{
    ASSERT_TRUE(gui::PressChordThroughX("ctrl+alt+y"));
    const HWND menu = gui::WaitForPopupMenu();
    ASSERT_NE(menu, nullptr) << gui::DescribeWindows(gui::TopLevelWindows());
    std::vector<gui::MenuItem> items;
    ASSERT_TRUE(gui::ReadPopupMenu(menu, items));
    ExpectSampleMenu(items);
    Screenshot("sample-hotkey-menu");
    ASSERT_TRUE(gui::ChooseMenuItem(menu, sample::kMenuOpen));
    EXPECT_TRUE(StatusBecomes(sample::kStatusMenu + std::wstring(sample::kMenuOpen)));
}

TEST_F(SampleTest, OtherChordsOpenNothing)
{
    for (const char* chord : {"ctrl+alt+u", "ctrl+y", "alt+y"}) {
        SCOPED_TRACE(chord);
        ASSERT_TRUE(gui::PressChordThroughX(chord));
        EXPECT_EQ(gui::WaitForPopupMenu(300), nullptr);
    }
    EXPECT_EQ(Status(), sample::kStatusReady);
}

TEST(RequestService, RefusesWhatItDoesNotServe)
{
    for (const char* chord : {"ctrl+alt+y; true", "$(true)", ""}) {
        SCOPED_TRACE(chord);
        const ::testing::AssertionResult pressed = gui::PressChordThroughX(chord);
        EXPECT_FALSE(pressed);
        EXPECT_NE(std::string(pressed.message()).find("failed: 2 not a key chord"), std::string::npos)
            << pressed.message();
    }
    for (const char* name : {"../outside", "a b", ""}) {
        SCOPED_TRACE(name);
        const ::testing::AssertionResult saved = gui::SaveScreenshot(name);
        EXPECT_FALSE(saved);
        EXPECT_NE(std::string(saved.message()).find("failed: 2 not a screenshot name"), std::string::npos)
            << saved.message();
    }
}

}  // namespace
}  // namespace selftest
