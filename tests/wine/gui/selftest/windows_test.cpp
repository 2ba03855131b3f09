// Finding top-level windows by caption, class and process.
#include "sample_fixture.h"
#include "sample_texts.h"

namespace selftest {
namespace {

TEST_F(SampleTest, FindsTheDialogByEveryCombinationThatMatches)
{
    const DWORD us = GetCurrentProcessId();
    struct Case {
        const char* what;
        gui::WindowQuery query;
        bool found;
    } cases[] = {
        {"caption", {sample::kCaption, std::nullopt, 0, true}, true},
        {"caption and class", {sample::kCaption, L"#32770", 0, true}, true},
        {"class and process", {std::nullopt, L"#32770", m_Program.Id(), true}, true},
        {"all three", {sample::kCaption, L"#32770", m_Program.Id(), true}, true},
        {"another process", {sample::kCaption, std::nullopt, us, true}, false},
        {"another class", {sample::kCaption, L"Edit", 0, true}, false},
        {"a caption that is only a prefix", {std::wstring(sample::kCaption).substr(0, 2), std::nullopt, 0, true},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HWND window = gui::WaitForWindow(c.query, c.found ? gui::kDefaultTimeoutMs : 200);
        EXPECT_EQ(window, c.found ? m_Dialog : nullptr) << gui::DescribeWindows(gui::TopLevelWindows());
    }
}

TEST_F(SampleTest, ListsTheDialogAmongTheDesktopsWindows)
{
    const std::vector<HWND> all = gui::TopLevelWindows();
    EXPECT_NE(std::find(all.begin(), all.end(), m_Dialog), all.end()) << gui::DescribeWindows(all);
    EXPECT_EQ(gui::WindowText(m_Dialog), sample::kCaption);
    EXPECT_EQ(gui::ClassName(m_Dialog), L"#32770");
    EXPECT_EQ(gui::WindowProcessId(m_Dialog), m_Program.Id());
    // The virtual desktop's task bar shares the desktop with the program.
    EXPECT_NE(gui::FindTopLevelWindow({std::nullopt, L"Shell_TrayWnd", 0, true}), nullptr)
        << gui::DescribeWindows(all);
    Screenshot("sample-started");
}

TEST_F(SampleTest, NoticesTheWindowGoing)
{
    EXPECT_FALSE(gui::WaitForWindowGone(m_Dialog, 200));
    ASSERT_NO_FATAL_FAILURE(CloseSample(0));
    EXPECT_TRUE(gui::WaitForWindowGone(m_Dialog, 5000));
    EXPECT_EQ(gui::FindTopLevelWindow({sample::kCaption, std::nullopt, 0, true}), nullptr);
}

}  // namespace
}  // namespace selftest
