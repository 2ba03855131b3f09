// The notification area: icons keyed by (hWnd, uID), as the task bar keeps
// them, and a record of every call for tests.
#include "desktop_reset.h"

#include <host/user32_hooks.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace host::user32 {

namespace {

struct NotificationArea {
    std::mutex lock;
    std::vector<NotifyIcon> icons;  // in the order they were added
    std::vector<NotifyIconCall> calls;
};

NotificationArea& TheArea()
{
    // Never destroyed: a program may take its icon away late in its life.
    static NotificationArea* area = new NotificationArea;
    return *area;
}

// The sizes of the structure's versions; a caller may use any of them.
bool IsKnownSize(DWORD size)
{
    return size == NOTIFYICONDATAA_V1_SIZE || size == NOTIFYICONDATAA_V2_SIZE || size == NOTIFYICONDATAA_V3_SIZE ||
           size == sizeof(NOTIFYICONDATAA);
}

// The first version's tip holds 64 characters, later ones 128, the
// terminator included.
std::string TipOf(const NOTIFYICONDATAA& data)
{
    const std::size_t capacity = data.cbSize == NOTIFYICONDATAA_V1_SIZE ? 64 : 128;
    return std::string(data.szTip, strnlen(data.szTip, capacity - 1));
}

void Apply(NotifyIcon& icon, const NOTIFYICONDATAA& data)
{
    if (data.uFlags & NIF_MESSAGE) {
        icon.uCallbackMessage = data.uCallbackMessage;
    }
    if (data.uFlags & NIF_ICON) {
        icon.hIcon = data.hIcon;
    }
    if (data.uFlags & NIF_TIP) {
        icon.tip = TipOf(data);
    }
    icon.uFlags |= data.uFlags & (NIF_MESSAGE | NIF_ICON | NIF_TIP);
}

BOOL Change(NotificationArea& area, DWORD message, const NOTIFYICONDATAA& data)
{
    auto found = std::find_if(area.icons.begin(), area.icons.end(), [&](const NotifyIcon& icon) {
        return icon.hWnd == data.hWnd && icon.uID == data.uID;
    });
    const bool shown = found != area.icons.end();
    switch (message) {
    case NIM_ADD:
        if (shown) {
            return FALSE;
        }
        area.icons.push_back(NotifyIcon{data.hWnd, data.uID});
        Apply(area.icons.back(), data);
        return TRUE;
    case NIM_MODIFY:
        if (!shown) {
            return FALSE;
        }
        Apply(*found, data);
        return TRUE;
    case NIM_DELETE:
        if (!shown) {
            return FALSE;
        }
        area.icons.erase(found);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void ResetNotifyIcons()
{
    NotificationArea& area = TheArea();
    std::lock_guard guard(area.lock);
    area.icons.clear();
    area.calls.clear();
}

}  // namespace host::user32

namespace host {

std::vector<NotifyIcon> NotifyIcons()
{
    user32::NotificationArea& area = user32::TheArea();
    std::lock_guard guard(area.lock);
    return area.icons;
}

std::vector<NotifyIconCall> NotifyIconCalls()
{
    user32::NotificationArea& area = user32::TheArea();
    std::lock_guard guard(area.lock);
    return area.calls;
}

}  // namespace host

// The shell reports failure by its answer alone; the last error is left as it was.
extern "C" BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData)
{
    using namespace host::user32;
    if (lpData == nullptr) {
        return FALSE;
    }
    // Only cbSize bytes are the caller's: an older, shorter structure ends there.
    NOTIFYICONDATAA data{};
    const DWORD size = lpData->cbSize;
    if (IsKnownSize(size)) {
        std::memcpy(&data, lpData, size);
    }
    NotificationArea& area = TheArea();
    std::lock_guard guard(area.lock);
    const BOOL result = IsKnownSize(size) ? Change(area, dwMessage, data) : FALSE;
    area.calls.push_back(host::NotifyIconCall{dwMessage, size, data.hWnd, data.uID, data.uFlags,
                                              data.uCallbackMessage, data.hIcon, result});
    return result;
}
