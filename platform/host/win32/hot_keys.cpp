// Hot keys: one table for the whole desktop. A combination belongs to one
// registration at a time, ours or another program's; pressing it posts
// WM_HOTKEY to the window (or thread) that registered it.
#include "desktop.h"
#include "desktop_reset.h"
#include "message_queue.h"
#include "win32_errors.h"

#include <host/user32_hooks.h>

#include <algorithm>
#include <optional>

namespace host::user32 {

namespace {

struct HotKey {
    HWND window = nullptr;
    int id = 0;
    UINT modifiers = 0;  // without MOD_NOREPEAT, which does not tell combinations apart
    UINT virtualKey = 0;
    std::thread::id thread;
    bool anotherProgram = false;
};

struct HotKeyTable {
    std::mutex lock;
    std::vector<HotKey> keys;
};

HotKeyTable& TheTable()
{
    // Never destroyed: windows may be destroyed late in the process's life.
    static HotKeyTable* table = new HotKeyTable;
    return *table;
}

UINT Combination(UINT modifiers)
{
    return modifiers & ~UINT(MOD_NOREPEAT);
}

bool IsTaken(const HotKeyTable& table, UINT modifiers, UINT virtualKey)
{
    return std::any_of(table.keys.begin(), table.keys.end(), [&](const HotKey& key) {
        return key.modifiers == modifiers && key.virtualKey == virtualKey;
    });
}

BOOL Register(HotKey key)
{
    HotKeyTable& table = TheTable();
    std::lock_guard guard(table.lock);
    if (IsTaken(table, key.modifiers, key.virtualKey)) {
        return FailWithError(ERROR_HOTKEY_ALREADY_REGISTERED);
    }
    table.keys.push_back(key);
    return TRUE;
}

}  // namespace

void ForgetHotKeysOf(HWND window)
{
    HotKeyTable& table = TheTable();
    std::lock_guard guard(table.lock);
    std::erase_if(table.keys, [window](const HotKey& key) { return !key.anotherProgram && key.window == window; });
}

void ResetHotKeys()
{
    HotKeyTable& table = TheTable();
    std::lock_guard guard(table.lock);
    table.keys.clear();
}

}  // namespace host::user32

namespace host {

void ReserveHotKeyForAnotherProgram(UINT modifiers, UINT vk)
{
    user32::HotKeyTable& table = user32::TheTable();
    std::lock_guard guard(table.lock);
    if (!user32::IsTaken(table, user32::Combination(modifiers), vk)) {
        table.keys.push_back(user32::HotKey{nullptr, 0, user32::Combination(modifiers), vk, {}, true});
    }
}

bool PressHotKey(UINT modifiers, UINT vk)
{
    std::optional<user32::HotKey> pressed;
    {
        user32::HotKeyTable& table = user32::TheTable();
        std::lock_guard guard(table.lock);
        // A combination is registered at most once.
        auto found = std::find_if(table.keys.begin(), table.keys.end(), [&](const user32::HotKey& key) {
            return key.modifiers == user32::Combination(modifiers) && key.virtualKey == vk;
        });
        if (found != table.keys.end()) {
            pressed = *found;
        }
    }
    if (!pressed || pressed->anotherProgram) {
        return false;
    }
    const LPARAM keys = MAKELPARAM(pressed->modifiers, vk);
    const WPARAM id = static_cast<WPARAM>(pressed->id);
    if (pressed->window == nullptr) {
        user32::PostToThread(pressed->thread, nullptr, WM_HOTKEY, id, keys);
        return true;
    }
    return user32::PostToWindow(pressed->window, WM_HOTKEY, id, keys) != FALSE;
}

}  // namespace host

extern "C" {

BOOL WINAPI RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk)
{
    using namespace host::user32;
    const HotKey key{hWnd, id, Combination(fsModifiers), vk, std::this_thread::get_id(), false};
    if (hWnd == nullptr) {
        return Register(key);  // WM_HOTKEY will go to this thread itself
    }
    // The window stays locked until the key is in the table, so that
    // destroying it cannot miss the key.
    LockedWindow window(hWnd);
    if (!window) {
        return FALSE;
    }
    if (window->thread != std::this_thread::get_id()) {
        return host::FailWithError(ERROR_WINDOW_OF_OTHER_THREAD);
    }
    return Register(key);
}

BOOL WINAPI UnregisterHotKey(HWND hWnd, int id)
{
    using namespace host::user32;
    if (hWnd != nullptr && !IsWindow(hWnd)) {
        return FALSE;
    }
    HotKeyTable& table = TheTable();
    std::lock_guard guard(table.lock);
    // A window may hold several keys under one id; the oldest goes first.
    auto found = std::find_if(table.keys.begin(), table.keys.end(), [&](const HotKey& key) {
        return !key.anotherProgram && key.window == hWnd && key.id == id &&
               (hWnd != nullptr || key.thread == std::this_thread::get_id());
    });
    if (found == table.keys.end()) {
        return host::FailWithError(ERROR_HOTKEY_NOT_REGISTERED);
    }
    table.keys.erase(found);
    return TRUE;
}

}  // extern "C"
