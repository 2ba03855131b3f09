// Which folder an Explorer window shows, read from the window itself.
#pragma once

#include "support/text.h"

namespace tessaly {

// Walks down the window's first children until it meets an edit field
// ("Edit") or an extended combo box ("ComboBoxEx32"), class names compared
// exactly, and returns that control's text without NULs, at most 255
// characters. Only the first child of each level is looked at; a chain that
// ends without such a control, or a window that has vanished, yields the
// empty text.
Text GetWindowAddress(HWND parent);

}  // namespace tessaly
