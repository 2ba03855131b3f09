// How windows stand to each other: Z order among siblings, parent, owner,
// first child, and finding a window by class and title.
#include "desktop.h"

#include "win32_errors.h"

#include <host/utf16.h>

#include <algorithm>

namespace host::user32 {

namespace {

HWND Fail(DWORD error)
{
    FailWithError(error);
    return nullptr;
}

HWND Neighbour(const std::vector<HWND>& siblings, HWND handle, std::ptrdiff_t step)
{
    auto at = std::find(siblings.begin(), siblings.end(), handle);
    const std::ptrdiff_t index = (at - siblings.begin()) + step;
    if (index < 0 || index >= static_cast<std::ptrdiff_t>(siblings.size())) {
        return nullptr;
    }
    return siblings[static_cast<std::size_t>(index)];
}

// The titles are compared as Windows compares them: the whole text, read
// with GetWindowTextW, without regard to case.
bool TitleMatches(HWND window, std::u16string_view title)
{
    // Two more units than the title: room for its terminator, and enough to
    // see that a longer text is longer.
    std::u16string text(title.size() + 2, u'\0');
    const int length = GetWindowTextW(window, reinterpret_cast<LPWSTR>(text.data()), static_cast<int>(text.size()));
    return EqualFolded(std::u16string_view(text.data(), static_cast<std::size_t>(length)), title);
}

}  // namespace

}  // namespace host::user32

extern "C" {

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd)
{
    using namespace host::user32;
    LockedWindow window(hWnd);
    if (!window) {
        return nullptr;
    }
    const std::vector<HWND>& siblings = window.desktop().SiblingsOf(*window);
    switch (uCmd) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return Neighbour(siblings, hWnd, +1);
    case GW_HWNDPREV:
        return Neighbour(siblings, hWnd, -1);
    case GW_OWNER:
        return window->owner;
    case GW_CHILD:
        return window->children.empty() ? nullptr : window->children.front();
    default:
        return Fail(ERROR_INVALID_GW_COMMAND);
    }
}

HWND WINAPI GetParent(HWND hWnd)
{
    host::user32::LockedWindow window(hWnd);
    if (!window) {
        return nullptr;
    }
    if (window->style & WS_CHILD) {
        return window->parent;
    }
    // A pop-up window answers with its owner; any other top-level window
    // has no parent.
    return (window->style & WS_POPUP) ? window->owner : nullptr;
}

HWND WINAPI FindWindowExW(HWND hWndParent, HWND hWndChildAfter, LPCWSTR lpszClass, LPCWSTR lpszWindow)
{
    using namespace host::user32;
    std::vector<HWND> candidates;
    {
        Desktop& desktop = TheDesktop();
        std::lock_guard guard(desktop.lock);
        const std::vector<HWND>* searched = &desktop.topLevel;
        if (hWndParent != nullptr) {
            const Window* parent = desktop.Find(hWndParent);
            if (parent == nullptr) {
                return Fail(ERROR_INVALID_WINDOW_HANDLE);
            }
            searched = &parent->children;
        }
        auto from = searched->begin();
        if (hWndChildAfter != nullptr) {
            if (desktop.Find(hWndChildAfter) == nullptr) {
                return Fail(ERROR_INVALID_WINDOW_HANDLE);
            }
            from = std::find(searched->begin(), searched->end(), hWndChildAfter);
            if (from == searched->end()) {
                return nullptr;  // not a direct child of the parent
            }
            ++from;
        }
        ATOM atom = 0;
        if (lpszClass != nullptr) {
            atom = FindClassAtom(desktop, lpszClass);
            if (atom == 0) {
                return Fail(ERROR_CANNOT_FIND_WND_CLASS);
            }
        }
        for (auto at = from; at != searched->end(); ++at) {
            if (atom == 0 || desktop.Find(*at)->windowClass->atom == atom) {
                candidates.push_back(*at);
            }
        }
    }
    // Titles are read through the windows' procedures, so without the lock.
    for (HWND candidate : candidates) {
        if (lpszWindow == nullptr || TitleMatches(candidate, host::AsUtf16(lpszWindow))) {
            return candidate;
        }
    }
    return nullptr;
}

HWND WINAPI FindWindowW(LPCWSTR lpClassName, LPCWSTR lpWindowName)
{
    return FindWindowExW(nullptr, nullptr, lpClassName, lpWindowName);
}

}  // extern "C"
