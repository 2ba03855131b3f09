// The desktop: every window and window class of the process, behind one
// lock. No window procedure is ever called with that lock held, so that a
// procedure may call back into any user32 function.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace host::user32 {

struct WindowClass {
    std::u16string name;  // as registered
    ATOM atom = 0;
    HINSTANCE instance = nullptr;
    WNDPROC procedure = nullptr;
    bool predefined = false;
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<const WindowClass> windowClass;
    DWORD style = 0;
    HWND parent = nullptr;  // child windows only
    HWND owner = nullptr;   // owned top-level windows only
    std::vector<HWND> children;  // in Z order, top first
    WNDPROC procedure = nullptr;
    LONG_PTR userData = 0;
    std::u16string text;  // what DefWindowProcW keeps for WM_SETTEXT
    std::map<std::u16string, HANDLE> properties;  // by property key
    bool visible = false;
    bool destroying = false;  // WM_DESTROY has been or is being sent
    std::thread::id thread;  // the thread that created it
};

class Desktop {
public:
    Desktop();

    // Everything below is guarded by `lock`.
    std::mutex lock;
    std::unordered_map<HWND, Window> windows;
    std::vector<HWND> topLevel;  // in Z order, top first
    std::vector<std::shared_ptr<const WindowClass>> classes;
    // Class names are atoms, as on Windows: one per name whatever its letter
    // case, and kept after the class is gone.
    std::map<std::u16string, ATOM> atoms;

    Window* Find(HWND handle);
    // The windows that share `window`'s place: its parent's children, or
    // the top-level windows.
    std::vector<HWND>& SiblingsOf(const Window& window);
    // A handle never given before, so that a stale one never names a new window.
    HWND NewHandle();

private:
    std::uintptr_t m_NextHandle = 0x10010;
};

Desktop& TheDesktop();

// A window looked up with the desktop locked, for as long as this lives.
// Looking up a handle that names no window sets ERROR_INVALID_WINDOW_HANDLE.
class LockedWindow {
public:
    explicit LockedWindow(HWND handle);

    explicit operator bool() const { return m_Window != nullptr; }
    Window* operator->() const { return m_Window; }
    Window& operator*() const { return *m_Window; }
    Desktop& desktop() const { return m_Desktop; }

private:
    Desktop& m_Desktop;
    std::unique_lock<std::mutex> m_Guard;
    Window* m_Window;
};

// Class and property names may be atoms: the low word of the pointer, with
// the high word zero.
bool IsIntAtom(LPCWSTR name);
ATOM IntAtomOf(LPCWSTR name);
std::u16string FoldedName(std::u16string_view name);

// --- Window classes (window_classes.cpp); the desktop lock is held ---------
void AddPredefinedClasses(Desktop& desktop);
// The atom of a class name; 0 if no class ever had that name.
ATOM FindClassAtom(const Desktop& desktop, LPCWSTR name);
// The class CreateWindowExW means: the one `instance` registered, else a
// predefined one.
std::shared_ptr<const WindowClass> FindClass(const Desktop& desktop, LPCWSTR name, HINSTANCE instance);

// --- Procedures (window_procedures.cpp) ------------------------------------
// Calls the window's current procedure, without the desktop lock; nullopt,
// and no last error, when the handle names no window (any more).
std::optional<LRESULT> CallProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// --- What other parts keep for a window, let go when it is destroyed -------
// Called without the desktop lock.
void ForgetPostedMessagesFor(HWND window);
void ForgetHotKeysOf(HWND window);

}  // namespace host::user32
