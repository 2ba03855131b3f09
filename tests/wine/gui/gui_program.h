// A program under test, started as a person's shell would start it, owned
// by the test: its process handle is closed, and the program ended, when
// the test lets go of it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace gui {

class Program {
public:
    Program() = default;
    // Ends a program still running: a failed test must not leave a window
    // behind for the next test to find.
    ~Program();
    Program(Program&& other) noexcept;
    Program& operator=(Program&& other) noexcept;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Starts `path` with the arguments, each quoted as CommandLineToArgvW
    // reads them back. Fails the assertion (and leaves `program` empty) when
    // CreateProcessW fails.
    static ::testing::AssertionResult Start(const std::wstring& path, const std::vector<std::wstring>& arguments,
                                            Program& program);

    bool Valid() const { return m_Process != nullptr; }
    DWORD Id() const { return m_ProcessId; }
    HANDLE ProcessHandle() const { return m_Process; }
    bool Running() const;

    // Waits until the program has ended; false when it still runs after `timeoutMs`.
    bool WaitForExit(DWORD timeoutMs);
    // The exit code, or nothing while the program runs.
    std::optional<DWORD> ExitCode() const;
    // Waits until the program waits for input with nothing left to do, as
    // after painting its windows: the moment for a screenshot.
    bool WaitForIdle(DWORD timeoutMs);
    void Terminate(UINT exitCode);

private:
    void Reset();

    HANDLE m_Process = nullptr;
    HANDLE m_Thread = nullptr;
    DWORD m_ProcessId = 0;
};

// One argument as it must appear on a command line so that CommandLineToArgvW
// gives it back unchanged (spaces, quotes and trailing backslashes included).
std::wstring QuoteArgument(const std::wstring& argument);

// The folder of the running test program, without a trailing backslash; the
// sample program and the harness's helper DLL are built next to it.
std::wstring ThisProgramFolder();

}  // namespace gui
