// A new vault's data area formatted as NTFS, as Windows formats the vault
// drive: the host's mkntfs volume written through the image's own write
// path.
#pragma once

#include "vault_image.h"

#include <functional>
#include <string>

namespace vault_tool {

// `progress` gets the share done, 0 to 100. False with `error` set when the
// format or a write fails.
bool FormatNtfs(VaultImage& image, unsigned long long dataBytes, const std::string& label,
                const std::function<void(int)>& progress, std::string& error);

}  // namespace vault_tool
