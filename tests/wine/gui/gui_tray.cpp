#include "gui_tray.h"

namespace gui {

::testing::AssertionResult PostTrayCallback(HWND owner, UINT callbackMessage, UINT iconId, UINT mouseMessage)
{
    if (!PostMessageW(owner, callbackMessage, iconId, mouseMessage)) {
        return ::testing::AssertionFailure() << "posting the tray callback failed, error " << GetLastError();
    }
    return ::testing::AssertionSuccess();
}

}  // namespace gui
