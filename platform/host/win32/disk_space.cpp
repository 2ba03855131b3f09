// GetDiskFreeSpaceW for a drive's root: 512-byte sectors in clusters of 8,
// from the drive table's figures or the host file system's own. Counts that
// do not fit 32 bits are capped, as the call cannot say more.
#include "win32_errors.h"

#include "../kernel/io_objects.h"

#include <host/drive_table.h>
#include <host/utf16.h>

#include <algorithm>

namespace {

constexpr DWORD kBytesPerSector = 512;
constexpr DWORD kSectorsPerCluster = 8;
constexpr std::uint64_t kBytesPerCluster = kBytesPerSector * kSectorsPerCluster;

DWORD Clusters(std::uint64_t bytes)
{
    return static_cast<DWORD>(std::min<std::uint64_t>(bytes / kBytesPerCluster, 0xFFFFFFFF));
}

void Put(LPDWORD out, DWORD value)
{
    if (out != nullptr) {
        *out = value;
    }
}

}  // namespace

extern "C" BOOL WINAPI GetDiskFreeSpaceW(LPCWSTR lpRootPathName, LPDWORD lpSectorsPerCluster,
                                         LPDWORD lpBytesPerSector, LPDWORD lpNumberOfFreeClusters,
                                         LPDWORD lpTotalNumberOfClusters)
{
    // No root means the current drive, which this host does not have.
    if (lpRootPathName == nullptr) {
        return host::FailWithError(ERROR_PATH_NOT_FOUND);
    }
    const std::u16string_view root = host::AsUtf16(lpRootPathName);
    const bool letter = root.size() >= 2 && root[1] == u':' &&
                        ((root[0] >= u'A' && root[0] <= u'Z') || (root[0] >= u'a' && root[0] <= u'z'));
    if (!letter || root.size() > 3 || (root.size() == 3 && root[2] != u'\\')) {
        return host::FailWithError(ERROR_INVALID_NAME);
    }
    // A device without a file system: Windows' RAW volume has no clusters to count.
    host::Ref<host::Device> device;
    if (NT_SUCCESS(host::FindDevice(u"\\??\\" + std::u16string(root.substr(0, 2)), device))) {
        return host::FailWithError(ERROR_UNRECOGNIZED_VOLUME);
    }
    const std::optional<host::Drive> drive = host::FindDrive(static_cast<char>(root[0]));
    if (!drive) {
        return host::FailWithError(ERROR_PATH_NOT_FOUND);
    }
    Put(lpSectorsPerCluster, kSectorsPerCluster);
    Put(lpBytesPerSector, kBytesPerSector);
    Put(lpNumberOfFreeClusters, Clusters(host::FreeBytes(*drive)));
    Put(lpTotalNumberOfClusters, Clusters(host::TotalBytes(*drive)));
    return TRUE;
}
