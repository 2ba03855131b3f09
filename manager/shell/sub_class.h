// The main window's replacement window procedure, which receives the
// hotkey. The window's previous procedure is kept as its property
// "OldWndProc"; the property's presence marks the window as hooked.
#pragma once

#include <windows.h>

#include <functional>

namespace tessaly {

// What Alt+Ctrl+Y does (the main window pops up its menu).
void SetHotkeyAction(std::function<void()> action);

// Installs HookWindowProc as the window's procedure. False when the window
// is hooked already, or when the previous procedure could not be kept; the
// window then keeps its previous procedure.
bool HookWindow(HWND window);

// Puts the previous procedure back. False, changing nothing, when the
// window is not hooked or its property cannot be removed.
bool UnhookWindow(HWND window);

// Runs the hotkey action for Alt+Ctrl+Y (hotkey 0), then passes every
// message, the hotkey's included, to the previous procedure.
LRESULT CALLBACK HookWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace tessaly
