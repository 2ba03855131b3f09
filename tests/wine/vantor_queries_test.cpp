// The disk and storage queries Windows sends a disk, asked of a unit that
// serves a 1 GiB vault, and of one that serves none.
#include "wine_support.h"

#include <ntddcdrm.h>
#include <ntdddisk.h>
#include <ntddstor.h>

#include <cstring>
#include <functional>

namespace {

using namespace wt;

constexpr uint64_t kVaultSize = 1024 * kMiB;

// One query with an output record: the code, the record's size and a check
// of its contents.
struct RecordQuery {
    const char* name;
    DWORD code;
    DWORD size;
    std::function<void(const uint8_t*)> check;
};

void CheckGeometry(const uint8_t* bytes)
{
    DISK_GEOMETRY geometry;
    memcpy(&geometry, bytes, sizeof geometry);
    EXPECT_EQ(geometry.Cylinders.QuadPart, 32768);
    EXPECT_EQ(geometry.MediaType, FixedMedia);
    EXPECT_EQ(geometry.TracksPerCylinder, 2u);
    EXPECT_EQ(geometry.SectorsPerTrack, 32u);
    EXPECT_EQ(geometry.BytesPerSector, 512u);
}

const RecordQuery kRecordQueries[] = {
    {"IOCTL_DISK_GET_DRIVE_GEOMETRY", IOCTL_DISK_GET_DRIVE_GEOMETRY, sizeof(DISK_GEOMETRY), CheckGeometry},
    {"IOCTL_CDROM_GET_DRIVE_GEOMETRY", IOCTL_CDROM_GET_DRIVE_GEOMETRY, sizeof(DISK_GEOMETRY), CheckGeometry},
    {"IOCTL_DISK_GET_LENGTH_INFO", IOCTL_DISK_GET_LENGTH_INFO, sizeof(GET_LENGTH_INFORMATION),
     [](const uint8_t* bytes) {
         GET_LENGTH_INFORMATION length;
         memcpy(&length, bytes, sizeof length);
         EXPECT_EQ(length.Length.QuadPart, static_cast<LONGLONG>(kVaultSize));
     }},
    {"IOCTL_DISK_GET_PARTITION_INFO", IOCTL_DISK_GET_PARTITION_INFO, sizeof(PARTITION_INFORMATION),
     [](const uint8_t* bytes) {
         PARTITION_INFORMATION partition;
         memcpy(&partition, bytes, sizeof partition);
         EXPECT_EQ(partition.StartingOffset.QuadPart, 0);
         EXPECT_EQ(partition.PartitionLength.QuadPart, static_cast<LONGLONG>(kVaultSize));
         EXPECT_EQ(partition.HiddenSectors, 1u);
         EXPECT_EQ(partition.PartitionNumber, 0u);
         EXPECT_EQ(partition.PartitionType, 0);
         EXPECT_FALSE(partition.BootIndicator);
         EXPECT_FALSE(partition.RecognizedPartition);
         EXPECT_FALSE(partition.RewritePartition);
     }},
    {"IOCTL_DISK_GET_PARTITION_INFO_EX", IOCTL_DISK_GET_PARTITION_INFO_EX, sizeof(PARTITION_INFORMATION_EX),
     [](const uint8_t* bytes) {
         PARTITION_INFORMATION_EX partition;
         memcpy(&partition, bytes, sizeof partition);
         EXPECT_EQ(partition.PartitionStyle, PARTITION_STYLE_MBR);
         EXPECT_EQ(partition.StartingOffset.QuadPart, 0);
         EXPECT_EQ(partition.PartitionLength.QuadPart, static_cast<LONGLONG>(kVaultSize));
         EXPECT_EQ(partition.PartitionNumber, 0u);
         EXPECT_FALSE(partition.RewritePartition);
         EXPECT_EQ(partition.Mbr.PartitionType, 0);
         EXPECT_FALSE(partition.Mbr.BootIndicator);
         EXPECT_FALSE(partition.Mbr.RecognizedPartition);
         EXPECT_EQ(partition.Mbr.HiddenSectors, 1u);
     }},
    {"IOCTL_CDROM_READ_TOC", IOCTL_CDROM_READ_TOC, sizeof(CDROM_TOC),
     [](const uint8_t* bytes) {
         CDROM_TOC toc;
         memcpy(&toc, bytes, sizeof toc);
         EXPECT_EQ(toc.FirstTrack, 1);
         EXPECT_EQ(toc.LastTrack, 1);
         EXPECT_EQ(toc.TrackData[0].Control, 4);
         EXPECT_EQ(toc.TrackData[0].Adr, 0);
         // Everything else is zero.
         toc.FirstTrack = toc.LastTrack = 0;
         toc.TrackData[0].Control = 0;
         std::vector<uint8_t> rest(sizeof toc);
         memcpy(rest.data(), &toc, sizeof toc);
         EXPECT_EQ(NonZeroBytes(rest, 0, rest.size()), 0u);
     }},
};

// Queries without output that a mounted unit answers with success: how
// Windows asks whether the medium is present and writable.
struct PlainQuery {
    const char* name;
    DWORD code;
};

const PlainQuery kPlainQueries[] = {
    {"IOCTL_DISK_CHECK_VERIFY", IOCTL_DISK_CHECK_VERIFY},
    {"IOCTL_CDROM_CHECK_VERIFY", IOCTL_CDROM_CHECK_VERIFY},
    {"IOCTL_STORAGE_CHECK_VERIFY", IOCTL_STORAGE_CHECK_VERIFY},
    {"IOCTL_STORAGE_CHECK_VERIFY2", IOCTL_STORAGE_CHECK_VERIFY2},
    {"IOCTL_DISK_IS_WRITABLE", IOCTL_DISK_IS_WRITABLE},
    {"IOCTL_DISK_MEDIA_REMOVAL", IOCTL_DISK_MEDIA_REMOVAL},
    {"IOCTL_STORAGE_MEDIA_REMOVAL", IOCTL_STORAGE_MEDIA_REMOVAL},
};

class DiskQueries : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_Path = ScratchPath(L"queries-1g.sec");
        RemoveFile(s_Path);
        s_Unit = OpenDevice(UnitPath(0));
        ASSERT_TRUE(s_Unit.Valid()) << GetLastError();
        ASSERT_TRUE(Succeeds(OpenVault(s_Unit.Get(), s_Path, static_cast<int64_t>(kVaultSize), L"gigabyte")));
    }

    static void TearDownTestSuite()
    {
        if (s_Unit.Valid()) {
            CloseVault(s_Unit.Get());
            s_Unit.Reset();
        }
        RemoveFile(s_Path);
    }

    void SetUp() override { ASSERT_TRUE(s_Unit.Valid()); }

    static HANDLE Unit() { return s_Unit.Get(); }

    static inline std::wstring s_Path;
    static inline Handle s_Unit;
};

TEST_F(DiskQueries, RecordsDescribeTheVaultAsOneFixedDiskOfOnePartition)
{
    for (const RecordQuery& query : kRecordQueries) {
        SCOPED_TRACE(query.name);
        // A buffer larger than the record: only the record is returned.
        std::vector<uint8_t> out(query.size + 16, 0xCC);
        const CallResult result = Control(Unit(), query.code, nullptr, 0, out.data(), static_cast<DWORD>(out.size()));
        ASSERT_TRUE(Succeeds(result));
        EXPECT_EQ(result.bytes, query.size);
        query.check(out.data());
        EXPECT_EQ(out[query.size], 0xCC) << "written beyond the record";
    }
}

TEST_F(DiskQueries, BufferOneByteShortIsRefusedAndLeftUntouched)
{
    for (const RecordQuery& query : kRecordQueries) {
        SCOPED_TRACE(query.name);
        std::vector<uint8_t> out(query.size - 1, 0xCC);
        const CallResult result = Control(Unit(), query.code, nullptr, 0, out.data(), static_cast<DWORD>(out.size()));
        EXPECT_TRUE(FailsWith(result, kErrorInsufficientBuffer));
        EXPECT_EQ(result.bytes, 0u);
        std::vector<uint8_t> untouched(out.size(), 0xCC);
        EXPECT_EQ(out, untouched);
    }
}

TEST_F(DiskQueries, MediumIsPresentAndWritable)
{
    for (const PlainQuery& query : kPlainQueries) {
        SCOPED_TRACE(query.name);
        EXPECT_TRUE(Succeeds(Control(Unit(), query.code, nullptr, 0, nullptr, 0)));
    }
}

TEST_F(DiskQueries, VerifyAndSetPartitionNeedTheirInput)
{
    VERIFY_INFORMATION verify{};
    verify.StartingOffset.QuadPart = 4096;
    verify.Length = 8192;
    EXPECT_TRUE(Succeeds(Control(Unit(), IOCTL_DISK_VERIFY, &verify, sizeof verify, nullptr, 0)));
    EXPECT_TRUE(FailsWith(Control(Unit(), IOCTL_DISK_VERIFY, &verify, sizeof verify - 1, nullptr, 0),
                          kErrorInvalidParameter));

    SET_PARTITION_INFORMATION partition{};
    partition.PartitionType = PARTITION_IFS;
    EXPECT_TRUE(Succeeds(Control(Unit(), IOCTL_DISK_SET_PARTITION_INFO, &partition, sizeof partition, nullptr, 0)));
    EXPECT_TRUE(
        FailsWith(Control(Unit(), IOCTL_DISK_SET_PARTITION_INFO, nullptr, 0, nullptr, 0), kErrorInvalidParameter));
    // Nothing about the disk changed.
    uint64_t length = 0;
    ASSERT_TRUE(Succeeds(DiskLength(Unit(), length)));
    EXPECT_EQ(length, kVaultSize);
}

TEST_F(DiskQueries, UnknownRequestIsRefusedAsInvalidFunction)
{
    const DWORD unknown[] = {
        IOCTL_DISK_FORMAT_TRACKS,
        IOCTL_DISK_GET_DRIVE_LAYOUT,
        IOCTL_STORAGE_GET_DEVICE_NUMBER,
        static_cast<DWORD>(CTL_CODE(0x8000, 0x803, METHOD_BUFFERED, FILE_ANY_ACCESS)),  // next to the private codes
    };
    for (DWORD code : unknown) {
        SCOPED_TRACE(code);
        uint8_t out[512] = {};
        EXPECT_TRUE(FailsWith(Control(Unit(), code, nullptr, 0, out, sizeof out), kErrorInvalidFunction));
    }
}

TEST(DiskQueriesUnmounted, EveryQueryReportsNoMedium)
{
    // Unit 1 serves nothing here: every query, the check-verify family
    // included, says the medium is absent.
    Handle unit = OpenDevice(UnitPath(1));
    ASSERT_TRUE(unit.Valid()) << GetLastError();
    for (const RecordQuery& query : kRecordQueries) {
        SCOPED_TRACE(query.name);
        std::vector<uint8_t> out(query.size, 0xCC);
        EXPECT_TRUE(FailsWith(Control(unit.Get(), query.code, nullptr, 0, out.data(), query.size), kErrorNotReady));
    }
    for (const PlainQuery& query : kPlainQueries) {
        SCOPED_TRACE(query.name);
        EXPECT_TRUE(FailsWith(Control(unit.Get(), query.code, nullptr, 0, nullptr, 0), kErrorNotReady));
    }
    EXPECT_TRUE(FailsWith(Control(unit.Get(), IOCTL_DISK_FORMAT_TRACKS, nullptr, 0, nullptr, 0), kErrorNotReady));
}

}  // namespace
