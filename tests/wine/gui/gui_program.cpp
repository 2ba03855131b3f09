#include "gui_program.h"

#include "gui_text.h"

namespace gui {

Program::~Program()
{
    Reset();
}

Program::Program(Program&& other) noexcept
    : m_Process(other.m_Process), m_Thread(other.m_Thread), m_ProcessId(other.m_ProcessId)
{
    other.m_Process = nullptr;
    other.m_Thread = nullptr;
    other.m_ProcessId = 0;
}

Program& Program::operator=(Program&& other) noexcept
{
    if (this != &other) {
        Reset();
        m_Process = other.m_Process;
        m_Thread = other.m_Thread;
        m_ProcessId = other.m_ProcessId;
        other.m_Process = nullptr;
        other.m_Thread = nullptr;
        other.m_ProcessId = 0;
    }
    return *this;
}

void Program::Reset()
{
    if (m_Process != nullptr) {
        if (Running()) {
            TerminateProcess(m_Process, 1);
            WaitForSingleObject(m_Process, 5000);
        }
        CloseHandle(m_Process);
    }
    if (m_Thread != nullptr) {
        CloseHandle(m_Thread);
    }
    m_Process = nullptr;
    m_Thread = nullptr;
    m_ProcessId = 0;
}

::testing::AssertionResult Program::Start(const std::wstring& path, const std::vector<std::wstring>& arguments,
                                          Program& program)
{
    program.Reset();
    std::wstring commandLine = QuoteArgument(path);
    for (const std::wstring& argument : arguments) {
        commandLine += L' ';
        commandLine += QuoteArgument(argument);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &started)) {
        return ::testing::AssertionFailure() << "CreateProcessW(" << Utf8(path) << ") failed with error "
                                             << GetLastError();
    }
    program.m_Process = started.hProcess;
    program.m_Thread = started.hThread;
    program.m_ProcessId = started.dwProcessId;
    return ::testing::AssertionSuccess();
}

bool Program::Running() const
{
    return m_Process != nullptr && WaitForSingleObject(m_Process, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(DWORD timeoutMs)
{
    return m_Process != nullptr && WaitForSingleObject(m_Process, timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> Program::ExitCode() const
{
    DWORD code = 0;
    if (m_Process == nullptr || Running() || !GetExitCodeProcess(m_Process, &code)) {
        return std::nullopt;
    }
    return code;
}

bool Program::WaitForIdle(DWORD timeoutMs)
{
    return m_Process != nullptr && WaitForInputIdle(m_Process, timeoutMs) == 0;
}

void Program::Terminate(UINT exitCode)
{
    if (Running()) {
        TerminateProcess(m_Process, exitCode);
        WaitForSingleObject(m_Process, 5000);
    }
}

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    // Backslashes are literal unless they precede a quote; those, and the
    // ones before the closing quote, are doubled.
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

std::wstring ThisProgramFolder()
{
    wchar_t path[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
}

}  // namespace gui
