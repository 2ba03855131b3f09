#include "support/window_address.h"

namespace tessaly {

namespace {

// Buffers of 256 characters: the limits given to Windows count the
// terminating NUL, so 255 characters of text fit.
constexpr int kBufferChars = 256;

}  // namespace

Text GetWindowAddress(HWND parent)
{
    HWND child = FindWindowExW(parent, nullptr, nullptr, nullptr);
    if (child == nullptr) {
        return {};
    }
    Text className(kBufferChars, u'\0');
    GetClassNameW(child, WideBuffer(className), kBufferChars);
    className = WithoutNuls(className);
    if (className == u"Edit" || className == u"ComboBoxEx32") {
        Text address(kBufferChars, u'\0');
        SendMessageW(child, WM_GETTEXT, kBufferChars, reinterpret_cast<LPARAM>(WideBuffer(address)));
        return WithoutNuls(address);
    }
    return GetWindowAddress(child);
}

}  // namespace tessaly
