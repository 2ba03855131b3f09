// Knobs and gauges of the host's window manager and shell for tests and
// tours. Product code never includes this header.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace host {

// --- The desktop ------------------------------------------------------------
// Forgets every window (without calling any procedure: their owners may be
// gone), every class that RegisterClassW registered, every posted message,
// every hot key (reserved ones too), the notification area with its record
// of calls, the shell's record of requests, and any SetPropW failure still
// to come. The predefined control classes stay.
void ResetDesktop();

// --- Window properties ------------------------------------------------------
// Makes the next `count` SetPropW calls fail with ERROR_NOT_ENOUGH_MEMORY, as
// when the system cannot store one more property.
void FailSetProps(unsigned count);

// --- Posted messages --------------------------------------------------------
// Every message waiting in any thread's queue, oldest first. `time` is when
// it was posted, in milliseconds since the process started.
std::vector<MSG> PostedMessages();
void ClearPostedMessages();

// --- Hot keys ---------------------------------------------------------------
// Takes a combination as another program would: RegisterHotKey then fails
// for it with ERROR_HOTKEY_ALREADY_REGISTERED. MOD_NOREPEAT is ignored.
void ReserveHotKeyForAnotherProgram(UINT modifiers, UINT vk);
// The user presses a combination: if one of our windows (or threads)
// registered it, WM_HOTKEY is posted to it as Windows posts it, and the
// answer is true; false when nobody here has it (unregistered, or another
// program's).
bool PressHotKey(UINT modifiers, UINT vk);

// --- The notification area --------------------------------------------------
struct NotifyIcon {
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;  // every NIF_ flag that ever set one of the members below
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    std::string tip;  // in the ANSI code page (UTF-8 on this host)
};
// The icons shown now, in the order they were added.
std::vector<NotifyIcon> NotifyIcons();

struct NotifyIconCall {
    DWORD dwMessage = 0;
    DWORD cbSize = 0;
    HWND hWnd = nullptr;
    UINT uID = 0;
    UINT uFlags = 0;
    UINT uCallbackMessage = 0;
    HICON hIcon = nullptr;
    BOOL result = FALSE;
};
// Every Shell_NotifyIconA call since the last reset, as made, with its answer.
std::vector<NotifyIconCall> NotifyIconCalls();

// --- The shell's verbs ------------------------------------------------------
struct ShellExecuteRequest {
    HWND hwnd = nullptr;
    std::optional<std::u16string> operation;  // nullopt: the argument was NULL
    std::optional<std::u16string> file;
    std::optional<std::u16string> parameters;
    std::optional<std::u16string> directory;
    INT showCmd = 0;
    HINSTANCE answer = nullptr;
};
// Every ShellExecuteW call since the last clear, oldest first.
std::vector<ShellExecuteRequest> ShellExecuteRequests();
void ClearShellExecuteRequests();

}  // namespace host
