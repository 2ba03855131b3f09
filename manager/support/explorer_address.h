// The address an Explorer window shows, for deciding whether it shows the
// vault's drive.
#pragma once

#include "support/text.h"

namespace tessaly {

// The file-system folder that the shell's window list says the window
// shows, such as "S:\其它"; empty when the shell does not list the window or
// it shows no file-system folder.
Text FolderFromShellWindows(HWND window);

// The shell's answer when it has one; otherwise the text of the window's
// address field (GetWindowAddress). Current Explorer windows keep their
// address field deep in a tree that the first-child walk does not reach,
// which is why the shell is asked first. Empty when neither knows.
Text ExplorerWindowAddress(HWND window);

}  // namespace tessaly
