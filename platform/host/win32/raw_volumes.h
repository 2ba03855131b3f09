// Volumes without a file system: the record of file calls that reached
// them, and the delay before a new volume shows (see host/volume_hooks.h).
#pragma once

#include <string>
#include <string_view>

namespace host {

void RecordRawVolumeRequest(const char* call, std::u16string_view path);
// True, and one query used up, while a delay set by DelayVolumeArrival lasts.
bool VolumeArrivalDelayed();

}  // namespace host
