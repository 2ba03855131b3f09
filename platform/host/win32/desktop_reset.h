// Each piece of the desktop forgets what it holds; host::ResetDesktop calls
// them all.
#pragma once

namespace host::user32 {

void ResetWindowsAndClasses();
void ResetWindowProperties();
void ResetMessageQueues();
void ResetHotKeys();
void ResetNotifyIcons();
void ResetShellRequests();

}  // namespace host::user32
