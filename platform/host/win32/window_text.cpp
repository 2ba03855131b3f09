// A window's text, read and written through its own procedure, as Windows
// does for windows of the calling process.
#include <windows.h>

extern "C" {

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    if (!IsWindow(hWnd) || lpString == nullptr || nMaxCount <= 0) {
        return 0;
    }
    // A procedure that does not answer WM_GETTEXT leaves an empty text.
    lpString[0] = 0;
    return static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                         reinterpret_cast<LPARAM>(lpString)));
}

BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR lpString)
{
    if (!IsWindow(hWnd)) {
        return FALSE;
    }
    return static_cast<BOOL>(SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)));
}

}  // extern "C"
