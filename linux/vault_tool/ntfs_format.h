// A new vault's data area formatted as NTFS, as Windows formats the vault
// drive: mkntfs (Debian's ntfs-3g) writes a quick-formatted volume into a
// sparse scratch file of the same size, and the parts it wrote are copied
// into the vault through the image's own write path.
#pragma once

#include "vault_image.h"

#include <functional>
#include <string>

namespace vault_tool {

// The mkntfs program, or an empty text when it is not installed.
std::string FindMkntfs();

// `progress` gets the share done, 0 to 100. False with `error` set when the
// format or a write fails.
bool FormatNtfs(VaultImage& image, unsigned long long dataBytes, const std::string& label,
                const std::function<void(int)>& progress, std::string& error);

}  // namespace vault_tool
