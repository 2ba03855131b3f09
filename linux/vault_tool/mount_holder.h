// `mount`: a background process holds the vault file, as the driver holds
// it (open, shared with nobody), for as long as its NTFS stays mounted. The
// data reaches ntfs-3g through a loop device at offset 1024 or, without
// one, through the FUSE file that serves the data area.
#pragma once

#include <string>
#include <vector>

namespace vault_tool {

struct MountPlan {
    std::string vault;     // absolute path of the vault file
    std::string folder;    // absolute, resolved path of the empty folder
    bool viaLoop = false;  // a loop device; otherwise the FUSE file
    std::string ntfs3g;    // the programs' paths
    std::string losetup;
    std::string unmounter;  // umount, or fusermount3 for a normal user
};

// Starts the holder with `password` (wiped here) and waits until the NTFS
// is mounted or refused. Prints the outcome; returns the exit status.
int MountInBackground(const MountPlan& plan, std::string& password);

// The unmount command for `folder` under `plan`'s unmounter.
std::vector<std::string> UnmountCommand(const std::string& unmounter, const std::string& folder);

}  // namespace vault_tool
