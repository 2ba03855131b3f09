#include "shell/sub_class.h"

#include "shell/tray_icon.h"

namespace tessaly {

namespace {

constexpr WCHAR kOldProcedure[] = L"OldWndProc";

std::function<void()>& HotkeyAction()
{
    static std::function<void()> action;
    return action;
}

}  // namespace

void SetHotkeyAction(std::function<void()> action)
{
    HotkeyAction() = std::move(action);
}

bool HookWindow(HWND window)
{
    if (GetPropW(window, kOldProcedure) != nullptr) {
        return false;
    }
    const LONG_PTR previous =
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HookWindowProc));
    if (previous == 0) {
        return false;
    }
    if (SetPropW(window, kOldProcedure, reinterpret_cast<HANDLE>(previous))) {
        return true;
    }
    // Without the property nothing could pass messages on: undo.
    SetWindowLongPtrW(window, GWLP_WNDPROC, previous);
    return false;
}

bool UnhookWindow(HWND window)
{
    HANDLE previous = GetPropW(window, kOldProcedure);
    if (previous == nullptr || RemovePropW(window, kOldProcedure) == nullptr) {
        return false;
    }
    return SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous)) != 0;
}

LRESULT CALLBACK HookWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HOTKEY && wParam == kHotkeyId && LOWORD(lParam) == kHotkeyModifiers &&
        HIWORD(lParam) == kHotkeyKey && HotkeyAction()) {
        HotkeyAction()();
    }
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(window, kOldProcedure));
    if (previous == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

}  // namespace tessaly
