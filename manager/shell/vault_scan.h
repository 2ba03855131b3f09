// Finding the vault files on the local fixed drives, for the vault list.
#pragma once

#include "support/text.h"

#include <vector>

namespace tessaly {

// The drive roots ("C:\") that may hold vaults: every logical drive except
// A: whose type is fixed, in the order Windows lists them.
std::vector<Text> VaultDriveRoots();

// The file's size in bytes, from both 32-bit halves; -1 when it cannot be
// read.
double VaultFileSize(const Text& path);

// A vault list line: the path, "，保险柜容量:" and the capacity text.
Text VaultListEntry(const Text& path, double sizeBytes);

// The list lines of every "\autorun.inf\*.sec" entry on the vault drives,
// hidden, system and read-only ones included.
std::vector<Text> ScanForVaults();

}  // namespace tessaly
