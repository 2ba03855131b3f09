#include "ntfs_format.h"

#include <host/ntfs_volume.h>

namespace vault_tool {

bool FormatNtfs(VaultImage& image, unsigned long long dataBytes, const std::string& label,
                const std::function<void(int)>& progress, std::string& error)
{
    error = host::MakeNtfsVolume(
        dataBytes, label,
        [&](unsigned long long offset, const void* data, std::size_t length) {
            ULONG_PTR written = 0;
            return NT_SUCCESS(image.WriteData(offset, static_cast<ULONG>(length), data, written)) &&
                   written == length;
        },
        progress);
    return error.empty();
}

}  // namespace vault_tool
