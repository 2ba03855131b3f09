#include "shell/exit_flow.h"

#include "shell/close_vault.h"
#include "shell/manager.h"
#include "shell/sub_class.h"
#include "shell/texts.h"
#include "shell/tray_icon.h"
#include "shell/ui.h"

namespace tessaly {

bool ExitManager(Manager& manager, const ShellParts& parts)
{
    if (VaultDriveIsOpen()) {
        CloseVaultWindows();
        if (!DismountVaultDrive(manager.pellix)) {
            manager.ui.ShowMessage(texts::kVaultInUse, MessageButtons::Ok);
            return false;
        }
    }
    NOTIFYICONDATAA record = parts.trayRecord;
    Shell_NotifyIconA(NIM_DELETE, &record);
    UnhookWindow(parts.mainWindow);
    UnregisterHotKey(parts.mainWindow, kHotkeyId);
    manager.ui.EndProcess();
    return true;
}

void UninstallManager(Manager& manager, const ShellParts& parts)
{
    if (manager.ui.ShowMessage(texts::kConfirmUninstall, MessageButtons::OkCancel) != MessageAnswer::Ok) {
        return;
    }
    manager.registry.DeleteRegValue(texts::kRunKeyPathForDelete, texts::kRunValueName);
    for (const char16_t* file : {texts::kDriverFile, texts::kLibraryFile, texts::kHelpFile}) {
        DeleteFileW(Wide(manager.programFolder + file));
    }
    ExitManager(manager, parts);
}

}  // namespace tessaly
