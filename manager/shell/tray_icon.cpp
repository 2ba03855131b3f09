#include "shell/tray_icon.h"

namespace tessaly {

NOTIFYICONDATAA MakeTrayRecord(HWND owner, HICON icon)
{
    NOTIFYICONDATAA record{};
    record.cbSize = NOTIFYICONDATAA_V1_SIZE;
    record.hWnd = owner;
    record.uID = 1;
    record.uFlags = NIF_MESSAGE | NIF_ICON;
    record.uCallbackMessage = kTrayCallbackMessage;
    record.hIcon = icon;
    return record;
}

}  // namespace tessaly
