// Top-level windows of the desktop: list them, find one by exact caption
// and/or class, optionally of one process, and wait for one to come or go.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "gui_wait.h"

namespace gui {

struct WindowQuery {
    std::optional<std::wstring> caption;    // exact, when given
    std::optional<std::wstring> className;  // exact, when given
    DWORD processId = 0;                    // any process when 0
    bool visibleOnly = true;
};

// The top-level windows that match, in z-order (topmost first).
std::vector<HWND> TopLevelWindows(const WindowQuery& query = {});
HWND FindTopLevelWindow(const WindowQuery& query);
// Polls for a matching window; nullptr when none came within the time.
HWND WaitForWindow(const WindowQuery& query, DWORD timeoutMs = kDefaultTimeoutMs);
// Polls until the window is destroyed or hidden; false when it is still shown.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

// Texts read through WM_GETTEXT, which Windows carries across processes;
// GetWindowTextW would not ask a control of another process for its text.
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
DWORD WindowProcessId(HWND window);
// The window's rectangle on the screen.
RECT ScreenRect(HWND window);

// One line per window, for a failure message: handle, class, caption, process.
std::string DescribeWindows(const std::vector<HWND>& windows);

}  // namespace gui
