// A quick-formatted NTFS volume as Linux makes one: mkntfs (Debian's
// ntfs-3g) writes it into a sparse scratch file, and only the parts it wrote
// are handed on, in order, to be written to the real target. Used where the
// host stands in for Windows' format library, and by the Linux vault tool.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace host {

// `write` gets each written part (offsets and lengths in whole 512-byte
// sectors, the data in page-aligned memory) and says whether it was stored;
// `progress` gets the share done, 0 to 100. An empty text on success,
// otherwise what failed, in Chinese.
std::string MakeNtfsVolume(unsigned long long bytes, const std::string& label,
                           const std::function<bool(unsigned long long offset, const void* data, std::size_t length)>& write,
                           const std::function<void(int)>& progress);

}  // namespace host
