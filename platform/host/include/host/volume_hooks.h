// Knobs and gauges of the host's volumes for tests. Product code never
// includes this header.
#pragma once

#include <string>
#include <vector>

namespace host {

// A Win32 file call that reached a drive letter whose volume has no file
// system (a vault served by the driver: the host formats nothing), and so
// failed with ERROR_UNRECOGNIZED_VOLUME. CreateDirectoryW and CreateFileW
// are recorded.
struct RawVolumeRequest {
    std::string call;
    std::u16string path;
};
std::vector<RawVolumeRequest> RawVolumeRequests();
void ClearRawVolumeRequests();

// The next `queries` drive-type queries of a letter that names a disk
// device answer DRIVE_NO_ROOT_DIR, as while Windows has not yet shown a new
// volume; 0 ends the delay.
void DelayVolumeArrival(unsigned queries);

}  // namespace host
