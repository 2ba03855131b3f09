// Window procedures: sending a message to one, calling a saved one, and
// replacing a window's procedure or its user data.
#include "desktop.h"

#include "win32_errors.h"

namespace host::user32 {

std::optional<LRESULT> CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC procedure = nullptr;
    {
        Desktop& desktop = TheDesktop();
        std::lock_guard guard(desktop.lock);
        const Window* record = desktop.Find(window);
        if (record == nullptr) {
            return std::nullopt;
        }
        procedure = record->procedure;
    }
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

}  // namespace host::user32

extern "C" {

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    std::optional<LRESULT> result = host::user32::CallProcedure(hWnd, Msg, wParam, lParam);
    if (!result) {
        host::FailWithError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return *result;
}

LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return lpPrevWndFunc != nullptr ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

// Success leaves the last error alone, so that a caller can tell a previous
// value of 0 from a failure by clearing it first.
LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    host::user32::LockedWindow window(hWnd);
    if (!window) {
        return 0;
    }
    LONG_PTR previous = 0;
    switch (nIndex) {
    case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(window->procedure);
        window->procedure = reinterpret_cast<WNDPROC>(dwNewLong);
        return previous;
    case GWLP_USERDATA:
        previous = window->userData;
        window->userData = dwNewLong;
        return previous;
    default:
        host::FailWithError(ERROR_INVALID_INDEX);
        return 0;
    }
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    host::user32::LockedWindow window(hWnd);
    if (!window) {
        return 0;
    }
    switch (nIndex) {
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(window->procedure);
    case GWLP_USERDATA:
        return window->userData;
    default:
        host::FailWithError(ERROR_INVALID_INDEX);
        return 0;
    }
}

}  // extern "C"
