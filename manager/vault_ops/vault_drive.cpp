#include "vault_ops/vault_drive.h"

#include "shell/close_vault.h"
#include "shell/ui.h"

#include <windows.h>

namespace tessaly {

bool WaitForVaultDrive(Ui& ui)
{
    for (int attempt = 0; attempt < kVaultDriveAttempts; ++attempt) {
        ui.PumpEvents();
        Sleep(kVaultDrivePauseMs);
        if (VaultDriveIsOpen()) {
            return true;
        }
    }
    return false;
}

}  // namespace tessaly
