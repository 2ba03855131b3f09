// Creating and destroying windows. A new top-level window goes to the top
// of the Z order; a new child goes below its siblings, so that the first
// child created is the first one found (it is why a dialog's tab order, which
// follows its controls' Z order, is the order they were created in).
#include "desktop.h"

#include "win32_errors.h"

#include <algorithm>

namespace host::user32 {

namespace {

Window& TopLevelOf(Desktop& desktop, Window& window)
{
    Window* top = &window;
    while (top->parent != nullptr) {
        top = desktop.Find(top->parent);
    }
    return *top;
}

std::vector<HWND> ChildrenOf(HWND handle)
{
    Desktop& desktop = TheDesktop();
    std::lock_guard guard(desktop.lock);
    const Window* window = desktop.Find(handle);
    return window != nullptr ? window->children : std::vector<HWND>{};
}

std::vector<HWND> WindowsOwnedBy(HWND owner)
{
    Desktop& desktop = TheDesktop();
    std::lock_guard guard(desktop.lock);
    std::vector<HWND> owned;
    for (HWND handle : desktop.topLevel) {
        if (desktop.Find(handle)->owner == owner) {
            owned.push_back(handle);
        }
    }
    return owned;
}

// False when the window is gone or already on its way out.
bool MarkDestroying(HWND handle)
{
    Desktop& desktop = TheDesktop();
    std::lock_guard guard(desktop.lock);
    Window* window = desktop.Find(handle);
    if (window == nullptr || window->destroying) {
        return false;
    }
    window->destroying = true;
    return true;
}

// WM_DESTROY goes to a window before its children, while they all exist.
void SendDestroyToTree(HWND handle)
{
    CallProcedure(handle, WM_DESTROY, 0, 0);
    for (HWND child : ChildrenOf(handle)) {
        if (MarkDestroying(child)) {
            SendDestroyToTree(child);
        }
    }
}

// Then the children go, each with its WM_NCDESTROY, and the window last;
// until its WM_NCDESTROY returns, its handle and properties still work.
void FreeTree(HWND handle)
{
    for (HWND child : ChildrenOf(handle)) {
        FreeTree(child);
    }
    CallProcedure(handle, WM_NCDESTROY, 0, 0);
    {
        Desktop& desktop = TheDesktop();
        std::lock_guard guard(desktop.lock);
        Window* window = desktop.Find(handle);
        if (window == nullptr) {
            return;  // a procedure destroyed it meanwhile
        }
        auto& siblings = desktop.SiblingsOf(*window);
        siblings.erase(std::remove(siblings.begin(), siblings.end(), handle), siblings.end());
        desktop.windows.erase(handle);
        // Windows owned by another thread's windows outlive their owner.
        for (auto& [other, record] : desktop.windows) {
            if (record.owner == handle) {
                record.owner = nullptr;
            }
        }
    }
    ForgetPostedMessagesFor(handle);
    ForgetHotKeysOf(handle);
}

HWND Fail(DWORD error)
{
    FailWithError(error);
    return nullptr;
}

}  // namespace

}  // namespace host::user32

extern "C" {

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    using namespace host::user32;
    Desktop& desktop = TheDesktop();
    HWND handle = nullptr;
    {
        std::lock_guard guard(desktop.lock);
        std::shared_ptr<const WindowClass> windowClass = FindClass(desktop, lpClassName, hInstance);
        if (!windowClass) {
            return Fail(ERROR_CANNOT_FIND_WND_CLASS);
        }
        Window* parent = nullptr;
        if (hWndParent != nullptr) {
            parent = desktop.Find(hWndParent);
            // A window on its way out takes no new children or owned
            // windows: they would outlive it.
            if (parent == nullptr || parent->destroying) {
                return Fail(ERROR_INVALID_WINDOW_HANDLE);
            }
        }
        const bool child = (dwStyle & WS_CHILD) != 0;
        if (child && parent == nullptr) {
            return Fail(ERROR_TLW_WITH_WSCHILD);
        }
        handle = desktop.NewHandle();
        Window window;
        window.handle = handle;
        window.windowClass = windowClass;
        window.style = dwStyle;
        window.procedure = windowClass->procedure;
        window.thread = std::this_thread::get_id();
        if (child) {
            window.parent = hWndParent;
            parent->children.push_back(handle);
        } else {
            // A window given as the parent of a top-level window becomes its
            // owner, and only top-level windows own others.
            window.owner = parent != nullptr ? TopLevelOf(desktop, *parent).handle : nullptr;
            desktop.topLevel.insert(desktop.topLevel.begin(), handle);
        }
        desktop.windows.emplace(handle, std::move(window));
    }

    CREATESTRUCTW create{lpParam, hInstance, hMenu, hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
                         lpWindowName, lpClassName, dwExStyle};
    const LPARAM createParam = reinterpret_cast<LPARAM>(&create);
    if (CallProcedure(handle, WM_NCCREATE, 0, createParam).value_or(FALSE) == FALSE) {
        FreeTree(handle);
        return nullptr;
    }
    if (CallProcedure(handle, WM_CREATE, 0, createParam).value_or(-1) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    LockedWindow window(handle);
    if (!window) {
        return nullptr;  // its procedure destroyed it while it was being made
    }
    if (dwStyle & WS_VISIBLE) {
        window->visible = true;
    }
    return handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    using namespace host::user32;
    {
        LockedWindow window(hWnd);
        if (!window) {
            return FALSE;
        }
        if (window->thread != std::this_thread::get_id()) {
            return host::FailWithError(ERROR_ACCESS_DENIED);
        }
        if (window->destroying) {
            return TRUE;  // already on its way out
        }
        window->destroying = true;
        window->visible = false;
    }
    // Owned windows go before their owner, each the whole way.
    for (HWND owned : WindowsOwnedBy(hWnd)) {
        DestroyWindow(owned);
    }
    SendDestroyToTree(hWnd);
    FreeTree(hWnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    return host::user32::LockedWindow(hWnd) ? TRUE : FALSE;
}

}  // extern "C"
