// One run of the installer: puts missing or outdated files into the program
// folder, places the desktop shortcut and starts the vault manager. It keeps
// nothing between runs but what it writes.
#pragma once

#include "setup/installer_system.h"

#include <vector>

namespace setup {

// The ids under which the installer carries its files.
inline constexpr int kManagerId = 147;
inline constexpr int kHelpFileId = 148;
inline constexpr int kLibraryId = 284;
inline constexpr int kDriver64Id = 311;
inline constexpr int kDriver32Id = 464;

// A runtime file: written into the program folder only when the system
// folder lacks it.
struct RuntimeFile {
    int id;
    const char16_t* name;
};

// The manager is linked statically and needs no runtime file, so none is
// carried; the rule stays for any that a later build might need.
inline const std::vector<RuntimeFile> kRuntimeFiles{};

struct RunOutcome {
    bool ended = false;          // ended before the files (folder refused, notes cancelled)
    bool driverUpdated = false;  // a newer driver was written: restart first
    bool managerStarted = false;
};

RunOutcome RunInstaller(InstallerSystem& system, const std::vector<RuntimeFile>& runtimeFiles = kRuntimeFiles);

}  // namespace setup
