#include "shell/close_vault.h"

#include "shell/controls.h"
#include "shell/manager.h"
#include "shell/texts.h"
#include "shell/ui.h"
#include "support/explorer_address.h"

namespace tessaly {

namespace {

constexpr int kClassNameChars = 256;

bool IsExplorerWindow(HWND window)
{
    Text className(kClassNameChars, u'\0');
    GetClassNameW(window, WideBuffer(className), kClassNameChars);
    const Text head = Left(WithoutNuls(className), 13);
    return EqualsIgnoringCase(head, u"CabinetWClass") || EqualsIgnoringCase(head, u"ExploreWClass");
}

}  // namespace

bool VaultDriveIsOpen()
{
    return GetDriveTypeW(Wide(texts::kVaultDriveRoot)) == DRIVE_FIXED;
}

bool CloseVaultWindows()
{
    bool posted = false;
    // The shell's desktop window leads to the first window of its level,
    // the top of the Z order.
    HWND window = GetWindow(FindWindowW(L"Progman", nullptr), GW_HWNDFIRST);
    while (window != nullptr) {
        // Taken first: a window asked to close may be gone when we move on.
        HWND next = GetWindow(window, GW_HWNDNEXT);
        if (IsExplorerWindow(window)) {
            const Text drive = AsciiUpper(Left(ExplorerWindowAddress(window), 2));
            if (drive.empty() || drive == u"S:") {
                PostMessageW(window, WM_CLOSE, 0, 0);
                posted = true;
            }
        }
        window = next;
    }
    return posted;
}

bool DismountVaultDrive(PellixLibrary& pellix)
{
    if (pellix.SysDiskUnMountEx(texts::kVaultDrive, 0) != 0) {
        return true;
    }
    return pellix.SysDiskUnMountEx(texts::kVaultDrive, 1) != 0;
}

void CloseVault(Manager& manager, ListBox& vaultList)
{
    if (!VaultDriveIsOpen()) {
        return;
    }
    CloseVaultWindows();
    if (!DismountVaultDrive(manager.pellix)) {
        manager.ui.ShowMessage(texts::kVaultInUse, MessageButtons::Ok);
        return;
    }
    if (vaultList.Count() > 0 && Contains(vaultList.Item(0), texts::kOpenMarker)) {
        const Text closed = Before(vaultList.Item(0), texts::kOpenMarker);
        vaultList.Clear();
        vaultList.Add(closed);
    }
    manager.ui.ShowMessage(texts::kVaultClosed, MessageButtons::Ok);
}

}  // namespace tessaly
