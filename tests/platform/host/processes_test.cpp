// CreateProcessW: each start is recorded as asked for and answered with
// handles that CloseHandle takes; a knob makes starts fail.
#include <host/win32_hooks.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>

namespace {

constexpr DWORD kUnwritten = 0xdeadbeef;
const HANDLE kUnwrittenHandle = reinterpret_cast<HANDLE>(ULONG_PTR(0xdeadbeef));

static_assert(sizeof(void*) != 8 || sizeof(STARTUPINFOW) == 104);
static_assert(sizeof(void*) != 8 || offsetof(STARTUPINFOW, wShowWindow) == 64);
static_assert(sizeof(void*) != 8 || offsetof(STARTUPINFOW, hStdInput) == 80);
static_assert(sizeof(void*) != 8 || sizeof(PROCESS_INFORMATION) == 24);

PROCESS_INFORMATION Unwritten()
{
    return PROCESS_INFORMATION{kUnwrittenHandle, kUnwrittenHandle, kUnwritten, kUnwritten};
}

class ProcessesTest : public ::testing::Test {
protected:
    void SetUp() override { host::ClearRecordedProcessStarts(); }
    void TearDown() override
    {
        host::FailProcessStarts(ERROR_SUCCESS);
        host::ClearRecordedProcessStarts();
    }
};

TEST_F(ProcessesTest, EachStartIsRecordedAsAskedFor)
{
    struct Case {
        const char* what;
        const char16_t* application;
        const char16_t* commandLine;
        const char16_t* folder;
        DWORD startFlags;
        WORD show;
        DWORD creationFlags;
        std::optional<WORD> recordedShow;
    };
    const Case cases[] = {
        {"Explorer on the open vault", nullptr, u"explorer.exe S:\\", nullptr, STARTF_USESHOWWINDOW, SW_SHOWNORMAL,
         0, WORD(SW_SHOWNORMAL)},
        {"a program by name, hidden", u"C:\\Windows\\notepad.exe", u"notepad.exe C:\\readme.txt", u"C:\\",
         STARTF_USESHOWWINDOW, SW_HIDE, CREATE_NO_WINDOW, WORD(SW_HIDE)},
        {"a show command without its flag", u"C:\\Software\\tessaly.exe", nullptr, nullptr, 0, SW_SHOWMAXIMIZED,
         NORMAL_PRIORITY_CLASS, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::u16string commandLine = c.commandLine != nullptr ? c.commandLine : u"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = c.startFlags;
        startup.wShowWindow = c.show;
        PROCESS_INFORMATION process = Unwritten();
        ASSERT_TRUE(CreateProcessW(reinterpret_cast<LPCWSTR>(c.application),
                                   c.commandLine != nullptr ? reinterpret_cast<LPWSTR>(commandLine.data()) : nullptr,
                                   nullptr, nullptr, FALSE, c.creationFlags, nullptr,
                                   reinterpret_cast<LPCWSTR>(c.folder), &startup, &process));
        EXPECT_NE(process.hProcess, kUnwrittenHandle);
        EXPECT_NE(process.hThread, kUnwrittenHandle);
        EXPECT_NE(process.hProcess, process.hThread);
        EXPECT_NE(process.dwProcessId, kUnwritten);
        EXPECT_NE(process.dwThreadId, process.dwProcessId);
        EXPECT_TRUE(CloseHandle(process.hThread));
        EXPECT_TRUE(CloseHandle(process.hProcess));
        EXPECT_FALSE(CloseHandle(process.hProcess)) << "closed once";

        const std::vector<host::ProcessStart> starts = host::RecordedProcessStarts();
        ASSERT_FALSE(starts.empty());
        const host::ProcessStart& start = starts.back();
        auto text = [](const char16_t* given) {
            return given != nullptr ? std::optional<std::u16string>(given) : std::nullopt;
        };
        EXPECT_EQ(start.applicationName, text(c.application));
        EXPECT_EQ(start.commandLine, text(c.commandLine));
        EXPECT_EQ(start.currentDirectory, text(c.folder));
        EXPECT_EQ(start.showWindow, c.recordedShow);
        EXPECT_EQ(start.creationFlags, c.creationFlags);
    }
    EXPECT_EQ(host::RecordedProcessStarts().size(), std::size(cases));
    host::ClearRecordedProcessStarts();
    EXPECT_TRUE(host::RecordedProcessStarts().empty());
}

TEST_F(ProcessesTest, FailedStartsRecordNothingAndWriteNothing)
{
    std::u16string commandLine = u"explorer.exe S:\\";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    struct Case {
        const char* what;
        DWORD injected;
        bool withStartup;
        bool withCommandLine;
        DWORD error;
    };
    const Case cases[] = {
        {"an injected failure", ERROR_FILE_NOT_FOUND, true, true, ERROR_FILE_NOT_FOUND},
        {"another injected failure", ERROR_ACCESS_DENIED, true, true, ERROR_ACCESS_DENIED},
        {"no startup information", ERROR_SUCCESS, false, true, ERROR_INVALID_PARAMETER},
        {"nothing to start", ERROR_SUCCESS, true, false, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        host::FailProcessStarts(c.injected);
        PROCESS_INFORMATION process = Unwritten();
        SetLastError(kUnwritten);
        EXPECT_FALSE(CreateProcessW(nullptr,
                                    c.withCommandLine ? reinterpret_cast<LPWSTR>(commandLine.data()) : nullptr,
                                    nullptr, nullptr, FALSE, 0, nullptr, nullptr, c.withStartup ? &startup : nullptr,
                                    &process));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(process.hProcess, kUnwrittenHandle);
        EXPECT_EQ(process.hThread, kUnwrittenHandle);
        EXPECT_EQ(process.dwProcessId, kUnwritten);
    }
    EXPECT_TRUE(host::RecordedProcessStarts().empty());

    host::FailProcessStarts(ERROR_SUCCESS);
    PROCESS_INFORMATION process = Unwritten();
    ASSERT_TRUE(CreateProcessW(nullptr, reinterpret_cast<LPWSTR>(commandLine.data()), nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, &startup, &process));
    EXPECT_TRUE(CloseHandle(process.hThread));
    EXPECT_TRUE(CloseHandle(process.hProcess));
    EXPECT_EQ(host::RecordedProcessStarts().size(), 1u);
}

}  // namespace
