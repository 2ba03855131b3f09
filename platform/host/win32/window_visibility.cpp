// Whether a window is shown. The host has no screen: showing a window sets
// its visibility and nothing else.
#include "desktop.h"

#include "win32_errors.h"

extern "C" {

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow)
{
    host::user32::LockedWindow window(hWnd);
    if (!window) {
        return FALSE;
    }
    if (nCmdShow < SW_HIDE || nCmdShow > SW_MAX) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    // The answer is whether the window was visible before; a minimized
    // window is a visible one.
    const BOOL wasVisible = window->visible ? TRUE : FALSE;
    window->visible = nCmdShow != SW_HIDE;
    return wasVisible;
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    host::user32::LockedWindow window(hWnd);
    if (!window) {
        return FALSE;
    }
    // Visible only if every window up to the top-level one is.
    for (const host::user32::Window* at = &*window; at != nullptr; at = window.desktop().Find(at->parent)) {
        if (!at->visible) {
            return FALSE;
        }
    }
    return TRUE;
}

}  // extern "C"
