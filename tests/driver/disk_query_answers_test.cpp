// The disk queries as a function of code, disk size and buffer, without a
// unit or a request: sizes no test file could have, and what is left
// unwritten around each answer.
#include "disk_queries.h"
#include "vantor_ioctl.h"

#include <ntddcdrm.h>
#include <ntdddisk.h>
#include <ntddstor.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint8_t kSentinel = 0xCD;
using Buffer = std::array<std::uint8_t, 1024>;

Buffer Sentinels()
{
    Buffer buffer;
    buffer.fill(kSentinel);
    return buffer;
}

bool UntouchedFrom(const Buffer& buffer, std::size_t from)
{
    for (std::size_t i = from; i < buffer.size(); ++i) {
        if (buffer[i] != kSentinel) {
            return false;
        }
    }
    return true;
}

TEST(DiskQueryAnswers, SizesAndGeometryFollowTheDiskSizeAlone)
{
    const ULONGLONG sizes[] = {0, 511, 32767, 32768, (1ULL << 30) + 12345, 1ULL << 62};
    for (ULONGLONG size : sizes) {
        SCOPED_TRACE(size);
        Buffer buffer = Sentinels();
        DiskQueryAnswer answer =
            AnswerDiskQuery(IOCTL_DISK_GET_DRIVE_GEOMETRY, size, buffer.data(), 0, ULONG(buffer.size()));
        ASSERT_EQ(answer.Status, STATUS_SUCCESS);
        ASSERT_EQ(answer.Information, sizeof(DISK_GEOMETRY));
        DISK_GEOMETRY geometry;
        std::memcpy(&geometry, buffer.data(), sizeof geometry);
        EXPECT_EQ(ULONGLONG(geometry.Cylinders.QuadPart), size / 32768) << "whole cylinders only";
        EXPECT_EQ(geometry.BytesPerSector * geometry.SectorsPerTrack * geometry.TracksPerCylinder, 32768u);
        EXPECT_TRUE(UntouchedFrom(buffer, sizeof geometry));

        buffer = Sentinels();
        answer = AnswerDiskQuery(IOCTL_DISK_GET_LENGTH_INFO, size, buffer.data(), 0, ULONG(buffer.size()));
        ASSERT_EQ(answer.Status, STATUS_SUCCESS);
        GET_LENGTH_INFORMATION length;
        std::memcpy(&length, buffer.data(), sizeof length);
        EXPECT_EQ(ULONGLONG(length.Length.QuadPart), size) << "the exact size";
        EXPECT_TRUE(UntouchedFrom(buffer, sizeof length));

        buffer = Sentinels();
        answer = AnswerDiskQuery(IOCTL_DISK_GET_PARTITION_INFO_EX, size, buffer.data(), 0, ULONG(buffer.size()));
        ASSERT_EQ(answer.Status, STATUS_SUCCESS);
        PARTITION_INFORMATION_EX partition;
        std::memcpy(&partition, buffer.data(), sizeof partition);
        EXPECT_EQ(ULONGLONG(partition.PartitionLength.QuadPart), size);
        EXPECT_EQ(partition.StartingOffset.QuadPart, 0);
        EXPECT_TRUE(UntouchedFrom(buffer, sizeof partition));
    }
}

TEST(DiskQueryAnswers, RefusalsAndInputOnlyAnswersWriteNothing)
{
    struct Case {
        const char* label;
        ULONG code;
        ULONG inputLength;
        ULONG outputLength;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"geometry_a_byte_short", IOCTL_DISK_GET_DRIVE_GEOMETRY, 0, sizeof(DISK_GEOMETRY) - 1, STATUS_BUFFER_TOO_SMALL},
        {"toc_a_byte_short", IOCTL_CDROM_READ_TOC, 0, sizeof(CDROM_TOC) - 1, STATUS_BUFFER_TOO_SMALL},
        {"verify", IOCTL_DISK_VERIFY, sizeof(VERIFY_INFORMATION), 1024, STATUS_SUCCESS},
        {"verify_input_short", IOCTL_DISK_VERIFY, sizeof(VERIFY_INFORMATION) - 1, 1024, STATUS_INVALID_PARAMETER},
        {"set_partition", IOCTL_DISK_SET_PARTITION_INFO, 1, 1024, STATUS_SUCCESS},
        {"set_partition_empty", IOCTL_DISK_SET_PARTITION_INFO, 0, 1024, STATUS_INVALID_PARAMETER},
        {"check_verify", IOCTL_STORAGE_CHECK_VERIFY, 0, 1024, STATUS_SUCCESS},
        {"unknown_code", 0x00220000, 0, 1024, STATUS_INVALID_DEVICE_REQUEST},
        {"private_open_is_no_query", IOCTL_OPENDISKFILE, sizeof(OPENDISKFILE_INFO), 1024,
         STATUS_INVALID_DEVICE_REQUEST},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Buffer buffer = Sentinels();
        const DiskQueryAnswer answer =
            AnswerDiskQuery(c.code, 1ULL << 30, buffer.data(), c.inputLength, c.outputLength);
        EXPECT_EQ(answer.Status, c.status);
        EXPECT_EQ(answer.Information, 0u);
        EXPECT_TRUE(UntouchedFrom(buffer, 0));
    }
}

}  // namespace
