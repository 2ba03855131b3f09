// Starting programs: arguments arrive as given, exit codes come back, and a
// program that does not end in time is reported as running.
#include <windows.h>
#include <shellapi.h>

#include "sample_fixture.h"
#include "sample_ids.h"

namespace selftest {
namespace {

struct QuoteCase {
    const wchar_t* argument;
    const wchar_t* quoted;
};

const QuoteCase kQuoteCases[] = {
    {L"plain", L"plain"},
    {L"", L"\"\""},
    {L"两个 词", L"\"两个 词\""},
    {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
    {L"C:\\folder with space\\", L"\"C:\\folder with space\\\\\""},
    {L"C:\\no\\space\\", L"C:\\no\\space\\"},
    {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
};

TEST(QuoteArgument, QuotesOnlyWhatNeedsItAndReadsBackUnchanged)
{
    for (const QuoteCase& c : kQuoteCases) {
        SCOPED_TRACE(gui::Utf8(c.argument));
        const std::wstring quoted = gui::QuoteArgument(c.argument);
        EXPECT_EQ(quoted, c.quoted);

        // The reader the programs use must give the argument back.
        const std::wstring line = L"prog.exe " + quoted;
        int count = 0;
        LPWSTR* arguments = CommandLineToArgvW(line.c_str(), &count);
        ASSERT_NE(arguments, nullptr);
        ASSERT_EQ(count, 2);
        EXPECT_EQ(std::wstring(arguments[1]), c.argument);
        LocalFree(arguments);
    }
}

// The sample shows its first argument in the name box.
class ProgramArguments : public SampleTest {
protected:
    void SetUp() override {}
};

TEST_F(ProgramArguments, ReachTheProgramUnchangedAndTheExitCodeComesBack)
{
    for (const QuoteCase& c : kQuoteCases) {
        SCOPED_TRACE(gui::Utf8(c.argument));
        ASSERT_NO_FATAL_FAILURE(StartSample({c.argument, L"ignored second"}));
        EXPECT_EQ(gui::ControlText(m_Dialog, IDC_NAME_EDIT), c.argument);
        ASSERT_NO_FATAL_FAILURE(CloseSample(0));
    }
}

TEST_F(SampleTest, RunningProgramHasNoExitCodeUntilItEnds)
{
    EXPECT_TRUE(m_Program.Running());
    EXPECT_FALSE(m_Program.WaitForExit(200));
    EXPECT_EQ(m_Program.ExitCode(), std::nullopt);

    m_Program.Terminate(77);
    EXPECT_FALSE(m_Program.Running());
    EXPECT_TRUE(m_Program.WaitForExit(0));
    EXPECT_EQ(m_Program.ExitCode(), 77u);
}

TEST(Program, StartOfAMissingProgramFailsAndOwnsNothing)
{
    gui::Program program;
    const ::testing::AssertionResult started =
        gui::Program::Start(gui::ThisProgramFolder() + L"\\no-such-program.exe", {}, program);
    EXPECT_FALSE(started);
    EXPECT_NE(std::string(started.message()).find("error 2"), std::string::npos) << started.message();
    EXPECT_FALSE(program.Valid());
    EXPECT_EQ(program.Id(), 0u);
    EXPECT_EQ(program.ExitCode(), std::nullopt);
}

TEST(Program, LettingGoEndsAProgramStillRunning)
{
    HANDLE watch = nullptr;
    {
        gui::Program program;
        ASSERT_TRUE(gui::Program::Start(SamplePath(), {}, program));
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), program.ProcessHandle(), GetCurrentProcess(), &watch,
                                    SYNCHRONIZE, FALSE, 0));
        ASSERT_EQ(WaitForSingleObject(watch, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    }
    EXPECT_EQ(WaitForSingleObject(watch, 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    CloseHandle(watch);
}

}  // namespace
}  // namespace selftest
