// The notification area's side of a tray icon: it posts the icon's callback
// message to the owner window, the icon's id in wParam and the mouse message
// in lParam (the classic form, before NOTIFYICON_VERSION_4).
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

namespace gui {

::testing::AssertionResult PostTrayCallback(HWND owner, UINT callbackMessage, UINT iconId, UINT mouseMessage);

}  // namespace gui
