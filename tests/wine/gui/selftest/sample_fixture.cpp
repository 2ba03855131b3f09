#include "sample_fixture.h"

#include "sample_ids.h"
#include "sample_texts.h"

namespace selftest {

std::wstring SamplePath()
{
    return gui::ThisProgramFolder() + L"\\gui_sample.exe";
}

void SampleTest::SetUp()
{
    StartSample();
}

void SampleTest::TearDown()
{
    if (m_Program.Running()) {
        // Whatever a failed test left open (a menu, a message box) goes first.
        if (HWND menu = gui::FindPopupMenu()) {
            gui::DismissMenu(menu);
        }
        if (auto box = gui::WaitForMessageBox(m_Program.Id(), 0); box && !box->buttons.empty()) {
            gui::AnswerMessageBox(*box, box->buttons.back().id);
        }
        PostMessageW(m_Dialog, WM_COMMAND, IDCANCEL, 0);
        m_Program.WaitForExit(5000);
    }
}

void SampleTest::StartSample(const std::vector<std::wstring>& arguments)
{
    ASSERT_TRUE(gui::Program::Start(SamplePath(), arguments, m_Program));
    m_Dialog = gui::WaitForWindow({sample::kCaption, L"#32770", m_Program.Id()});
    ASSERT_NE(m_Dialog, nullptr) << "the sample's dialog did not appear; windows:\n"
                                 << gui::DescribeWindows(gui::TopLevelWindows());
    m_Program.WaitForIdle(5000);
}

void SampleTest::CloseSample(DWORD expectedExitCode)
{
    ASSERT_TRUE(PostMessageW(m_Dialog, WM_COMMAND, IDCANCEL, 0));
    ASSERT_TRUE(m_Program.WaitForExit(10000));
    EXPECT_EQ(m_Program.ExitCode(), expectedExitCode);
}

std::wstring SampleTest::Status() const
{
    return gui::ControlText(m_Dialog, IDC_STATUS);
}

::testing::AssertionResult SampleTest::StatusBecomes(const std::wstring& expected) const
{
    if (gui::WaitFor([&] { return Status() == expected; }, 5000)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the status reads \"" << gui::Utf8(Status()) << "\", expected \""
                                         << gui::Utf8(expected) << "\"";
}

void SampleTest::Screenshot(const std::string& name)
{
    m_Program.WaitForIdle(5000);
    EXPECT_TRUE(gui::SaveScreenshot(name));
}

}  // namespace selftest
