// The disk queries, and any other device control code, with any input and
// any output length, on a unit that serves a vault and on one that does not.
// No answer may claim more output than the room it was given.
#include "fuzz_scratch.h"

#include <ntddcdrm.h>
#include <ntdddisk.h>
#include <ntddstor.h>

#include <cstring>
#include <vector>

using namespace korvel::fuzz;

namespace {

constexpr ULONG kKnownCodes[] = {
    IOCTL_DISK_GET_DRIVE_GEOMETRY,  IOCTL_CDROM_GET_DRIVE_GEOMETRY, IOCTL_DISK_GET_LENGTH_INFO,
    IOCTL_DISK_GET_PARTITION_INFO,  IOCTL_DISK_GET_PARTITION_INFO_EX, IOCTL_CDROM_READ_TOC,
    IOCTL_DISK_VERIFY,              IOCTL_DISK_SET_PARTITION_INFO,  IOCTL_DISK_IS_WRITABLE,
    IOCTL_DISK_CHECK_VERIFY,        IOCTL_CDROM_CHECK_VERIFY,       IOCTL_STORAGE_CHECK_VERIFY,
    IOCTL_STORAGE_CHECK_VERIFY2,    IOCTL_DISK_MEDIA_REMOVAL,       IOCTL_STORAGE_MEDIA_REMOVAL,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = [] {
        ClearScratch();
        const OPENDISKFILE_INFO base = OpenRecord("base.sec", "pw", 3 * 1024 * 1024 + 512);
        if (host::DeviceIoControl(Driver().units[1], IOCTL_OPENDISKFILE, &base, sizeof base, nullptr, 0).status !=
            STATUS_SUCCESS) {
            Violated("unit 1 cannot serve the base vault");
        }
        return true;
    }();
    (void)ready;
    if (size < 3) {
        return 0;
    }
    const unsigned unit = data[0] & 1;
    const std::size_t known = std::size(kKnownCodes);
    ULONG code = kKnownCodes[(data[0] >> 1) % known];
    std::size_t used = 3;
    // One selector in eight takes any code from the input instead.
    if ((data[0] >> 5) == 7 && size >= 7) {
        std::memcpy(&code, data + 3, sizeof code);
        used = 7;
    }
    // The private requests change what the units serve; they have a target
    // of their own.
    if (code == IOCTL_OPENDISKFILE || code == IOCTL_CLOSEDISKFILE || code == IOCTL_CHANGEPWD) {
        return 0;
    }
    const ULONG outputLength = (ULONG(data[1]) | ULONG(data[2]) << 8) % 4097;
    std::vector<std::uint8_t> input(data + used, data + size);
    std::vector<std::uint8_t> output(outputLength);
    const host::IoResult result =
        host::DeviceIoControl(Driver().units[unit], code, input.empty() ? nullptr : input.data(), ULONG(input.size()),
                              output.empty() ? nullptr : output.data(), outputLength);
    if (result.information > outputLength) {
        Violated("a query claimed more output than its room");
    }
    return 0;
}
