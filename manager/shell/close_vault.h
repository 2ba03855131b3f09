// Closing the vault: Explorer windows on S: are asked to close, then the
// drive is dismounted, gently first and then by force.
#pragma once

#include "support/text.h"

namespace tessaly {

class ListBox;
class PellixLibrary;
struct Manager;

// Whether a vault is open: S: is a fixed drive.
bool VaultDriveIsOpen();

// Posts a close request to every Explorer window (class name beginning with
// "CabinetWClass" or "ExploreWClass", letter case ignored) that shows S: or
// whose address cannot be read. True when it posted at least one. It does
// not wait for the windows to go.
bool CloseVaultWindows();

// SysDiskUnMountEx("S", 0), and when that fails SysDiskUnMountEx("S", 1):
// true when the last call dismounted the drive.
bool DismountVaultDrive(PellixLibrary& pellix);

// The close button's flow. Nothing happens while no vault is open. After a
// successful close the first list line loses its "，盘符:S:" mark and the
// user is told; a vault still in use stays open and the user is asked to
// close what uses it.
void CloseVault(Manager& manager, ListBox& vaultList);

}  // namespace tessaly
