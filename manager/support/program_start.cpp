#include "support/program_start.h"

#include <shellapi.h>

namespace tessaly {

bool StartProgram(const Text& commandLine)
{
    // CreateProcessW may write into the command line it is given.
    Text writable = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, WideBuffer(writable), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

bool ShellOpen(const Text& target)
{
    const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", Wide(target), L"", L"", SW_SHOWNORMAL));
    return result > 32;
}

}  // namespace tessaly
