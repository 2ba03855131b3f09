// Space accounting on the host's drives. A drive with a fixed free-space
// figure is a small simulated volume: growing a file uses up its figure and
// shrinking one gives it back. Other drives have what the host file system has.
#pragma once

#include <cstdint>

namespace host {

// False, and nothing used, when the drive has less than `bytes` free.
bool TryUseDriveSpace(char letter, std::uint64_t bytes);
void ReturnDriveSpace(char letter, std::uint64_t bytes);

}  // namespace host
