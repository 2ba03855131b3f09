#include "disk_queries.h"

#include <ntdddisk.h>
#include <ntddcdrm.h>
#include <ntddstor.h>

namespace {

static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY == 0x00070000, "code");
static_assert(IOCTL_CDROM_GET_DRIVE_GEOMETRY == 0x0002404C, "code");
static_assert(IOCTL_DISK_GET_LENGTH_INFO == 0x0007405C, "code");
static_assert(IOCTL_DISK_GET_PARTITION_INFO == 0x00074004, "code");
static_assert(IOCTL_DISK_GET_PARTITION_INFO_EX == 0x00070048, "code");
static_assert(IOCTL_CDROM_READ_TOC == 0x00024000, "code");
static_assert(IOCTL_DISK_VERIFY == 0x00070014, "code");
static_assert(IOCTL_DISK_SET_PARTITION_INFO == 0x0007C008, "code");
static_assert(IOCTL_DISK_IS_WRITABLE == 0x00070024, "code");
static_assert(IOCTL_DISK_CHECK_VERIFY == 0x00074800, "code");
static_assert(IOCTL_CDROM_CHECK_VERIFY == 0x00024800, "code");
static_assert(IOCTL_STORAGE_CHECK_VERIFY == 0x002D4800, "code");
static_assert(IOCTL_STORAGE_CHECK_VERIFY2 == 0x002D0800, "code");
static_assert(IOCTL_DISK_MEDIA_REMOVAL == 0x00074804, "code");
static_assert(IOCTL_STORAGE_MEDIA_REMOVAL == 0x002D4804, "code");

static_assert(sizeof(DISK_GEOMETRY) == 24, "record");
static_assert(sizeof(GET_LENGTH_INFORMATION) == 8, "record");
static_assert(sizeof(PARTITION_INFORMATION) == 32, "record");
static_assert(sizeof(PARTITION_INFORMATION_EX) == 144, "record");
static_assert(sizeof(CDROM_TOC) == 804, "record");
static_assert(sizeof(VERIFY_INFORMATION) == 16, "record");

constexpr ULONG BytesPerSector = 512;
constexpr ULONG SectorsPerTrack = 32;
constexpr ULONG TracksPerCylinder = 2;

// Fills the output record when the caller's buffer holds it; otherwise
// nothing is written.
template <class Record, class Fill>
DiskQueryAnswer Reply(PVOID buffer, ULONG outputLength, Fill fill)
{
    if (outputLength < sizeof(Record)) {
        return {STATUS_BUFFER_TOO_SMALL, 0};
    }
    auto* record = static_cast<Record*>(buffer);
    RtlZeroMemory(record, sizeof(Record));
    fill(*record);
    return {STATUS_SUCCESS, sizeof(Record)};
}

// An answer that writes no output.
DiskQueryAnswer NoOutput(NTSTATUS status)
{
    return {status, 0};
}

}  // namespace

DiskQueryAnswer AnswerDiskQuery(ULONG code, ULONGLONG diskSize, PVOID buffer, ULONG inputLength, ULONG outputLength)
{
    switch (code) {
    case IOCTL_DISK_GET_DRIVE_GEOMETRY:
    case IOCTL_CDROM_GET_DRIVE_GEOMETRY:
        return Reply<DISK_GEOMETRY>(buffer, outputLength, [&](DISK_GEOMETRY& geometry) {
            geometry.Cylinders.QuadPart = LONGLONG(diskSize / BytesPerSector / SectorsPerTrack / TracksPerCylinder);
            geometry.MediaType = FixedMedia;
            geometry.TracksPerCylinder = TracksPerCylinder;
            geometry.SectorsPerTrack = SectorsPerTrack;
            geometry.BytesPerSector = BytesPerSector;
        });
    case IOCTL_DISK_GET_LENGTH_INFO:
        return Reply<GET_LENGTH_INFORMATION>(
            buffer, outputLength, [&](GET_LENGTH_INFORMATION& length) { length.Length.QuadPart = LONGLONG(diskSize); });
    case IOCTL_DISK_GET_PARTITION_INFO:
        return Reply<PARTITION_INFORMATION>(buffer, outputLength, [&](PARTITION_INFORMATION& partition) {
            partition.StartingOffset.QuadPart = 0;
            partition.PartitionLength.QuadPart = LONGLONG(diskSize);
            partition.HiddenSectors = 1;
            partition.PartitionNumber = 0;
            partition.PartitionType = 0;
            partition.BootIndicator = FALSE;
            partition.RecognizedPartition = FALSE;
            partition.RewritePartition = FALSE;
        });
    case IOCTL_DISK_GET_PARTITION_INFO_EX:
        return Reply<PARTITION_INFORMATION_EX>(buffer, outputLength, [&](PARTITION_INFORMATION_EX& partition) {
            partition.PartitionStyle = PARTITION_STYLE_MBR;
            partition.StartingOffset.QuadPart = 0;
            partition.PartitionLength.QuadPart = LONGLONG(diskSize);
            partition.PartitionNumber = 0;
            partition.RewritePartition = FALSE;
            partition.Mbr.PartitionType = 0;
            partition.Mbr.BootIndicator = FALSE;
            partition.Mbr.RecognizedPartition = FALSE;
            partition.Mbr.HiddenSectors = 1;
        });
    case IOCTL_CDROM_READ_TOC:
        return Reply<CDROM_TOC>(buffer, outputLength, [](CDROM_TOC& toc) {
            toc.FirstTrack = 1;
            toc.LastTrack = 1;
            toc.TrackData[0].Control = 4;  // a data track
            toc.TrackData[0].Adr = 0;
        });
    case IOCTL_DISK_VERIFY:
        // Nothing is read: every sector of a file verifies. The answer
        // carries no output: the I/O manager copies Information bytes of
        // the system buffer back to the caller, so the verified length there
        // would overrun both buffers for any caller that offers less room.
        return NoOutput(inputLength < sizeof(VERIFY_INFORMATION) ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS);
    case IOCTL_DISK_SET_PARTITION_INFO:
        return NoOutput(inputLength < 1 ? STATUS_INVALID_PARAMETER : STATUS_SUCCESS);
    case IOCTL_DISK_IS_WRITABLE:
    case IOCTL_DISK_CHECK_VERIFY:
    case IOCTL_CDROM_CHECK_VERIFY:
    case IOCTL_STORAGE_CHECK_VERIFY:
    case IOCTL_STORAGE_CHECK_VERIFY2:
    case IOCTL_DISK_MEDIA_REMOVAL:
    case IOCTL_STORAGE_MEDIA_REMOVAL:
        return NoOutput(STATUS_SUCCESS);
    default:
        return NoOutput(STATUS_INVALID_DEVICE_REQUEST);
    }
}
