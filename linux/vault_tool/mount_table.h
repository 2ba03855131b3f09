// What the kernel has mounted where, and the records this tool keeps of the
// vaults it mounted, so that `unmount` finds the process that holds one.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace vault_tool {

// Whether the resolved absolute path `folder` is a mount point now.
bool IsMountPoint(const std::string& folder);

struct MountRecord {
    pid_t holder = 0;    // the process that holds the vault file
    std::string vault;   // the vault file's absolute path
};

// The tool's own folder for a mount at `folder`: its record, ntfs-3g's
// messages and, for FUSE, the folder that serves the data area. Made when
// missing; empty when it cannot be made.
std::string MountWorkFolder(const std::string& folder);

bool SaveRecord(const std::string& folder, const MountRecord& record);
std::optional<MountRecord> LoadRecord(const std::string& folder);
// Removes the record and the work folder; the holder's last act.
void RemoveRecord(const std::string& folder);

// Whether `pid` still runs (a zombie does not).
bool ProcessRuns(pid_t pid);

}  // namespace vault_tool
