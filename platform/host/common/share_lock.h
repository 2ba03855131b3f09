// Windows share modes between opens of one file, in this process and across
// processes. Each open holds shared byte-range locks (open file description
// locks) on marker bytes far beyond any real data: one for each kind of access
// it has and one for each kind it refuses to share. An open conflicts when
// another holds the marker of something it needs or refuses.
#pragma once

#include <ntstatus.h>

namespace host {

struct ShareRequest {
    bool read = false;    // wants to read data
    bool write = false;   // wants to write data
    bool remove = false;  // wants delete access
    bool shareRead = false;
    bool shareWrite = false;
    bool shareDelete = false;
};

// lockFd must be open for reading. On success the markers stay held until
// lockFd is closed. STATUS_SHARING_VIOLATION when another open conflicts.
NTSTATUS AcquireShareAccess(int lockFd, const ShareRequest& request);

}  // namespace host
