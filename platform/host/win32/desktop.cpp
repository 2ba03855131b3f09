// The desktop's records of windows and classes, and looking them up.
#include "desktop.h"

#include "win32_errors.h"

#include <host/utf16.h>

namespace host::user32 {

Desktop::Desktop()
{
    AddPredefinedClasses(*this);
}

Window* Desktop::Find(HWND handle)
{
    auto found = windows.find(handle);
    return found == windows.end() ? nullptr : &found->second;
}

std::vector<HWND>& Desktop::SiblingsOf(const Window& window)
{
    if (window.parent != nullptr) {
        // A child's parent outlives it: children go first when a window is destroyed.
        return Find(window.parent)->children;
    }
    return topLevel;
}

HWND Desktop::NewHandle()
{
    // Even values, like Windows' own handles; never 0, 1 or -1, which the
    // API gives other meanings.
    const std::uintptr_t value = m_NextHandle;
    m_NextHandle += 4;
    return reinterpret_cast<HWND>(value);
}

Desktop& TheDesktop()
{
    // Never destroyed: windows may be looked up late in the process's life.
    static Desktop* desktop = new Desktop;
    return *desktop;
}

LockedWindow::LockedWindow(HWND handle)
    : m_Desktop(TheDesktop()), m_Guard(m_Desktop.lock), m_Window(m_Desktop.Find(handle))
{
    if (m_Window == nullptr) {
        FailWithError(ERROR_INVALID_WINDOW_HANDLE);
    }
}

bool IsIntAtom(LPCWSTR name)
{
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}

ATOM IntAtomOf(LPCWSTR name)
{
    return static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name) & 0xFFFF);
}

std::u16string FoldedName(std::u16string_view name)
{
    std::u16string folded(name);
    for (char16_t& unit : folded) {
        unit = FoldCase(unit);
    }
    return folded;
}

}  // namespace host::user32
