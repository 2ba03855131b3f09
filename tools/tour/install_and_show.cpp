// The last step of the tour on Windows or under Wine: runs the installer as
// a person would (its install notes answered with OK), and waits until the
// vault manager it starts has its main window up and idle, so that a
// screenshot shows it. The manager keeps running; whoever started the tour
// ends it.
//
// Usage: install_and_show <path of setup.exe>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr wchar_t kNotesCaption[] = L"Korvel多功能保险柜v2.7.1--安装向导";
constexpr wchar_t kManagerTitle[] = L"Korvel多功能保险柜";
constexpr DWORD kTimeLimitMs = 60000;

struct Search {
    const wchar_t* caption;
    DWORD processId;  // any when 0
    HWND found;
};

BOOL CALLBACK FindWindowByCaption(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t caption[128] = {};
    GetWindowTextW(window, caption, 128);
    if ((search->processId == 0 || owner == search->processId) && IsWindowVisible(window) &&
        lstrcmpW(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForWindow(const wchar_t* caption, DWORD processId, HANDLE stopWhenEnded)
{
    Search search{caption, processId, nullptr};
    const ULONGLONG deadline = GetTickCount64() + kTimeLimitMs;
    while (GetTickCount64() < deadline) {
        EnumWindows(&FindWindowByCaption, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr) {
            return search.found;
        }
        if (stopWhenEnded != nullptr && WaitForSingleObject(stopWhenEnded, 0) == WAIT_OBJECT_0) {
            return nullptr;
        }
        Sleep(100);
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: install_and_show <setup.exe>\n");
        return 2;
    }
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION setup{};
    if (!CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &setup)) {
        std::fprintf(stderr, "cannot start the installer: error %lu\n", GetLastError());
        return 1;
    }
    CloseHandle(setup.hThread);
    HWND notes = WaitForWindow(kNotesCaption, setup.dwProcessId, setup.hProcess);
    if (notes == nullptr) {
        std::fprintf(stderr, "the installer showed no install notes (is this a fresh program folder?)\n");
        CloseHandle(setup.hProcess);
        return 1;
    }
    std::printf("The installer shows its install notes; answered with OK, as a person would.\n");
    PostMessageW(notes, WM_COMMAND, IDOK, 0);
    if (WaitForSingleObject(setup.hProcess, kTimeLimitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "the installer did not end\n");
        CloseHandle(setup.hProcess);
        return 1;
    }
    CloseHandle(setup.hProcess);
    std::printf("The installer put its files into C:\\Software and started the vault manager.\n");
    if (WaitForWindow(kManagerTitle, 0, nullptr) == nullptr) {
        std::fprintf(stderr, "the manager's main window did not come up\n");
        return 1;
    }
    Sleep(1000);  // its first paint
    std::printf("The vault manager runs: its main window is up.\n");
    return 0;
}
