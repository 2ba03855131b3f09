// The manager's orderly end, and the uninstall that ends in it. Neither
// touches the driver service: it stays installed for the next start.
#pragma once

#include <windows.h>

#include <shellapi.h>

namespace tessaly {

struct Manager;

struct ShellParts {
    HWND mainWindow;
    const NOTIFYICONDATAA& trayRecord;
};

// Closes an open vault first (as the close button does, without its
// success message); when the vault is still in use the user is told and
// the manager keeps running. Otherwise the tray icon, the hotkey and the
// window procedure go and the process ends. True when it ended.
bool ExitManager(Manager& manager, const ShellParts& parts);

// After the user's OK: the start-with-Windows entry and the support files
// (driver, control library, help file) are deleted, each failure skipped,
// then the exit flow runs. Vault files, the program file and the driver
// service stay.
void UninstallManager(Manager& manager, const ShellParts& parts);

}  // namespace tessaly
