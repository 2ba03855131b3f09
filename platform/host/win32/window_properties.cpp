// Window properties: named handles a window carries until it is destroyed.
// Names compare without regard to case; an atom names the same property as
// its "#<number>" string, as in Windows' atom table.
#include "desktop.h"
#include "desktop_reset.h"

#include "win32_errors.h"

#include <host/user32_hooks.h>
#include <host/utf16.h>

#include <atomic>

namespace host::user32 {

namespace {

std::atomic<unsigned> g_SetPropFailures{0};

std::u16string PropertyKey(LPCWSTR name)
{
    if (IsIntAtom(name)) {
        return u"#" + Utf8ToUtf16(std::to_string(IntAtomOf(name)));
    }
    return FoldedName(AsUtf16(name));
}

bool TakeInjectedFailure()
{
    unsigned left = g_SetPropFailures.load();
    while (left != 0) {
        if (g_SetPropFailures.compare_exchange_weak(left, left - 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

void ResetWindowProperties()
{
    g_SetPropFailures = 0;
}

}  // namespace host::user32

namespace host {

void FailSetProps(unsigned count)
{
    user32::g_SetPropFailures = count;
}

}  // namespace host

extern "C" {

BOOL WINAPI SetPropW(HWND hWnd, LPCWSTR lpString, HANDLE hData)
{
    using namespace host::user32;
    LockedWindow window(hWnd);
    if (!window) {
        return FALSE;
    }
    if (lpString == nullptr) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    if (TakeInjectedFailure()) {
        return host::FailWithError(ERROR_NOT_ENOUGH_MEMORY);
    }
    window->properties[PropertyKey(lpString)] = hData;
    return TRUE;
}

HANDLE WINAPI GetPropW(HWND hWnd, LPCWSTR lpString)
{
    using namespace host::user32;
    LockedWindow window(hWnd);
    if (!window || lpString == nullptr) {
        return nullptr;
    }
    auto found = window->properties.find(PropertyKey(lpString));
    return found == window->properties.end() ? nullptr : found->second;
}

HANDLE WINAPI RemovePropW(HWND hWnd, LPCWSTR lpString)
{
    using namespace host::user32;
    LockedWindow window(hWnd);
    if (!window || lpString == nullptr) {
        return nullptr;
    }
    auto found = window->properties.find(PropertyKey(lpString));
    if (found == window->properties.end()) {
        return nullptr;
    }
    HANDLE data = found->second;
    window->properties.erase(found);
    return data;
}

}  // extern "C"
