// DefWindowProcW: what a window does with a message its own procedure
// leaves to the system. Here that is its text, and closing.
#include "desktop.h"

#include <host/utf16.h>

#include <algorithm>

namespace host::user32 {

namespace {

LRESULT SetText(HWND hwnd, LPCWSTR text)
{
    LockedWindow window(hwnd);
    if (!window) {
        return FALSE;
    }
    window->text = text != nullptr ? std::u16string(AsUtf16(text)) : std::u16string();
    return TRUE;
}

// At most `capacity` - 1 characters and a terminator; the count copied.
LRESULT CopyText(HWND hwnd, LPWSTR buffer, WPARAM capacity)
{
    LockedWindow window(hwnd);
    if (!window || buffer == nullptr || capacity == 0) {
        return 0;
    }
    const std::size_t copied = std::min<std::size_t>(window->text.size(), capacity - 1);
    std::copy_n(window->text.data(), copied, reinterpret_cast<char16_t*>(buffer));
    buffer[copied] = 0;
    return static_cast<LRESULT>(copied);
}

LRESULT TextLength(HWND hwnd)
{
    LockedWindow window(hwnd);
    return window ? static_cast<LRESULT>(window->text.size()) : 0;
}

}  // namespace

}  // namespace host::user32

extern "C" LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    using namespace host::user32;
    switch (Msg) {
    case WM_NCCREATE: {
        // The title given to CreateWindowExW becomes the window's text here:
        // a procedure that keeps WM_NCCREATE to itself leaves it untitled.
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        if (create != nullptr && create->lpszName != nullptr) {
            SetText(hWnd, create->lpszName);
        }
        return TRUE;
    }
    case WM_SETTEXT:
        return SetText(hWnd, reinterpret_cast<LPCWSTR>(lParam));
    case WM_GETTEXT:
        return CopyText(hWnd, reinterpret_cast<LPWSTR>(lParam), wParam);
    case WM_GETTEXTLENGTH:
        return TextLength(hWnd);
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    default:
        return 0;
    }
}
