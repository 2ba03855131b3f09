// The manager's icon in the notification area and its global hotkey.
#pragma once

#include <windows.h>

#include <shellapi.h>

namespace tessaly {

// The icon record: the first-version layout (88 bytes on 32-bit Windows,
// 104 on 64-bit), icon 1 of `owner`, callback and icon but no tip, and the
// mouse-move message as the callback, so that the mouse event arrives in
// the low word of the message's second parameter. The record carries no
// text, so the ANSI form is kept.
NOTIFYICONDATAA MakeTrayRecord(HWND owner, HICON icon);

inline constexpr UINT kTrayCallbackMessage = WM_MOUSEMOVE;
inline constexpr UINT kTrayLeftButtonDown = WM_LBUTTONDOWN;
inline constexpr UINT kTrayRightButtonDown = WM_RBUTTONDOWN;

// Alt+Ctrl+Y, hotkey 0 of the main window.
inline constexpr int kHotkeyId = 0;
inline constexpr UINT kHotkeyModifiers = MOD_ALT | MOD_CONTROL;
inline constexpr UINT kHotkeyKey = 0x59;

}  // namespace tessaly
