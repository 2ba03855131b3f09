// The last step of the tour on Windows or under Wine: starts the vault
// manager C:\Software\tessaly.exe as a person would and waits until its main
// window is up and idle, so that a screenshot shows it. The manager keeps
// running; whoever started the tour ends it.
#include <windows.h>

#include <cstdio>

namespace {

constexpr wchar_t kProgram[] = L"C:\\Software\\tessaly.exe";
constexpr wchar_t kTitle[] = L"Korvel多功能保险柜";
constexpr DWORD kTimeLimitMs = 30000;

struct Search {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t caption[64] = {};
    GetWindowTextW(window, caption, 64);
    if (owner == search->processId && IsWindowVisible(window) && lstrcmpW(caption, kTitle) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

int wmain()
{
    wchar_t commandLine[] = L"\"C:\\Software\\tessaly.exe\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(kProgram, commandLine, nullptr, nullptr, FALSE, 0, nullptr, L"C:\\Software", &startup,
                        &process)) {
        std::fprintf(stderr, "cannot start the manager: error %lu\n", GetLastError());
        return 1;
    }
    CloseHandle(process.hThread);
    Search search{process.dwProcessId, nullptr};
    const ULONGLONG deadline = GetTickCount64() + kTimeLimitMs;
    while (search.found == nullptr && GetTickCount64() < deadline) {
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            std::fprintf(stderr, "the manager ended before its window came up\n");
            CloseHandle(process.hProcess);
            return 1;
        }
        EnumWindows(&FindMainWindow, reinterpret_cast<LPARAM>(&search));
        Sleep(100);
    }
    if (search.found == nullptr) {
        std::fprintf(stderr, "the manager's main window did not come up within %lu s\n", kTimeLimitMs / 1000);
        CloseHandle(process.hProcess);
        return 1;
    }
    WaitForInputIdle(process.hProcess, 5000);
    Sleep(500);  // the first paint
    std::printf("The vault manager runs: its main window is up.\n");
    CloseHandle(process.hProcess);
    return 0;
}
