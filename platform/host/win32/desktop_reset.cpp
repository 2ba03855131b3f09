// Forgetting the whole desktop between tests.
#include "desktop_reset.h"

#include "desktop.h"

#include <host/user32_hooks.h>

namespace host::user32 {

void ResetWindowsAndClasses()
{
    Desktop& desktop = TheDesktop();
    std::lock_guard guard(desktop.lock);
    desktop.windows.clear();
    desktop.topLevel.clear();
    std::erase_if(desktop.classes, [](const auto& windowClass) { return !windowClass->predefined; });
}

}  // namespace host::user32

namespace host {

void ResetDesktop()
{
    user32::ResetWindowsAndClasses();
    user32::ResetWindowProperties();
    user32::ResetMessageQueues();
    user32::ResetHotKeys();
    user32::ResetNotifyIcons();
    user32::ResetShellRequests();
}

}  // namespace host
