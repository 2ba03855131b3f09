// TranslateMessage: key messages become character messages. The host has
// no keyboard state, so keys translate as on a US layout with no modifier
// held.
#include "message_queue.h"

namespace {

// The character a key gives; 0 for a key that gives none.
WCHAR CharacterOf(WPARAM virtualKey)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return static_cast<WCHAR>(virtualKey - 'A' + 'a');
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        return static_cast<WCHAR>(virtualKey);
    }
    switch (virtualKey) {
    case VK_BACK:
        return L'\b';
    case VK_TAB:
        return L'\t';
    case VK_RETURN:
        return L'\r';
    case VK_ESCAPE:
        return 0x1B;
    case VK_SPACE:
        return L' ';
    default:
        return 0;
    }
}

}  // namespace

extern "C" BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    if (lpMsg == nullptr) {
        return FALSE;
    }
    switch (lpMsg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        if (const WCHAR character = CharacterOf(lpMsg->wParam)) {
            host::user32::PostToThread(std::this_thread::get_id(), lpMsg->hwnd,
                                       lpMsg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR, character, lpMsg->lParam);
        }
        return TRUE;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        // Key messages count as translated whether or not they give a character.
        return TRUE;
    default:
        return FALSE;
    }
}
