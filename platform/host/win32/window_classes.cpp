// Window classes: the predefined controls, and classes a module registers.
// A class is known by its name, compared without regard to case, and by the
// instance that registered it; the predefined ones belong to no module.
#include "desktop.h"

#include "win32_errors.h"

#include <host/utf16.h>

#include <algorithm>

namespace host::user32 {

namespace {

// The controls our windows are built from need nothing but their text here,
// which the default procedure keeps.
LRESULT CALLBACK ControlProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

constexpr std::u16string_view kPredefinedClasses[] = {u"Button", u"ComboBoxEx32", u"Edit", u"ListBox", u"Static"};

constexpr ATOM kFirstClassAtom = 0xC000;

ATOM AddAtom(Desktop& desktop, std::u16string_view name)
{
    const std::u16string key = FoldedName(name);
    auto found = desktop.atoms.find(key);
    if (found != desktop.atoms.end()) {
        return found->second;
    }
    // Atoms are never taken back, so the count gives the next free one.
    const ATOM atom = static_cast<ATOM>(kFirstClassAtom + desktop.atoms.size());
    desktop.atoms.emplace(key, atom);
    return atom;
}

}  // namespace

void AddPredefinedClasses(Desktop& desktop)
{
    for (std::u16string_view name : kPredefinedClasses) {
        auto windowClass = std::make_shared<WindowClass>();
        windowClass->name = name;
        windowClass->atom = AddAtom(desktop, name);
        windowClass->procedure = ControlProcedure;
        windowClass->predefined = true;
        desktop.classes.push_back(std::move(windowClass));
    }
}

ATOM FindClassAtom(const Desktop& desktop, LPCWSTR name)
{
    if (name == nullptr) {
        return 0;
    }
    if (IsIntAtom(name)) {
        const ATOM atom = IntAtomOf(name);
        for (const auto& [key, known] : desktop.atoms) {
            if (known == atom) {
                return atom;
            }
        }
        return 0;
    }
    auto found = desktop.atoms.find(FoldedName(AsUtf16(name)));
    return found == desktop.atoms.end() ? 0 : found->second;
}

std::shared_ptr<const WindowClass> FindClass(const Desktop& desktop, LPCWSTR name, HINSTANCE instance)
{
    const ATOM atom = FindClassAtom(desktop, name);
    if (atom == 0) {
        return nullptr;
    }
    std::shared_ptr<const WindowClass> predefined;
    for (const auto& windowClass : desktop.classes) {
        if (windowClass->atom != atom) {
            continue;
        }
        if (!windowClass->predefined && windowClass->instance == instance) {
            return windowClass;
        }
        if (windowClass->predefined) {
            predefined = windowClass;
        }
    }
    return predefined;
}

}  // namespace host::user32

extern "C" {

ATOM WINAPI RegisterClassW(const WNDCLASSW* lpWndClass)
{
    using namespace host::user32;
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr || IsIntAtom(lpWndClass->lpszClassName)) {
        host::FailWithError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Desktop& desktop = TheDesktop();
    std::lock_guard guard(desktop.lock);
    const ATOM atom = AddAtom(desktop, host::AsUtf16(lpWndClass->lpszClassName));
    for (const auto& windowClass : desktop.classes) {
        if (!windowClass->predefined && windowClass->atom == atom && windowClass->instance == lpWndClass->hInstance) {
            host::FailWithError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto windowClass = std::make_shared<WindowClass>();
    windowClass->name = host::AsUtf16(lpWndClass->lpszClassName);
    windowClass->atom = atom;
    windowClass->instance = lpWndClass->hInstance;
    windowClass->procedure = lpWndClass->lpfnWndProc;
    desktop.classes.push_back(std::move(windowClass));
    return atom;
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance)
{
    using namespace host::user32;
    Desktop& desktop = TheDesktop();
    std::lock_guard guard(desktop.lock);
    const ATOM atom = FindClassAtom(desktop, lpClassName);
    auto found = std::find_if(desktop.classes.begin(), desktop.classes.end(), [&](const auto& windowClass) {
        return atom != 0 && !windowClass->predefined && windowClass->atom == atom && windowClass->instance == hInstance;
    });
    if (found == desktop.classes.end()) {
        return host::FailWithError(ERROR_CLASS_DOES_NOT_EXIST);
    }
    for (const auto& [handle, window] : desktop.windows) {
        if (window.windowClass == *found) {
            return host::FailWithError(ERROR_CLASS_HAS_WINDOWS);
        }
    }
    desktop.classes.erase(found);
    return TRUE;
}

int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount)
{
    host::user32::LockedWindow window(hWnd);
    if (!window) {
        return 0;
    }
    if (lpClassName == nullptr || nMaxCount <= 0) {
        host::FailWithError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    // A short buffer gets as much of the name as fits, and its terminator.
    const std::u16string& name = window->windowClass->name;
    const std::size_t copied = std::min(name.size(), static_cast<std::size_t>(nMaxCount - 1));
    std::copy_n(name.data(), copied, reinterpret_cast<char16_t*>(lpClassName));
    lpClassName[copied] = 0;
    return static_cast<int>(copied);
}

}  // extern "C"
