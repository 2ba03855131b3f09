// GetDiskFreeSpaceW: fixed figures of the drive table, the host file
// system's own, a letter that names a raw disk (the vault driver's, as S:
// while a vault is open), and unknown letters.
#include "support/scratch_drive.h"

#include <host/drive_table.h>
#include <host/kernel_io.h>
#include <ntstatus.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <sys/statvfs.h>

namespace {

using korvel::test::Wide;

constexpr DWORD kUnwritten = 0xdeadbeef;
constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr std::uint64_t kTiB = kMiB * kMiB;

struct Space {
    BOOL ok = FALSE;
    DWORD error = 0;
    DWORD sectorsPerCluster = kUnwritten;
    DWORD bytesPerSector = kUnwritten;
    DWORD freeClusters = kUnwritten;
    DWORD totalClusters = kUnwritten;
};

Space QuerySpace(const wchar_t* root)
{
    Space space;
    SetLastError(kUnwritten);
    space.ok = GetDiskFreeSpaceW(root, &space.sectorsPerCluster, &space.bytesPerSector, &space.freeClusters,
                                 &space.totalClusters);
    space.error = GetLastError();
    return space;
}

class DiskSpaceTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        Map('F', 10 * kMiB + 1000, 64 * kMiB);
        Map('H', 100 * kTiB, 200 * kTiB);
        Map('E', 4095, 4096);
    }

    void Map(char letter, std::uint64_t freeBytes, std::uint64_t totalBytes)
    {
        host::Drive drive{m_Folder.Path(), host::DriveType::Fixed, freeBytes};
        drive.totalBytes = totalBytes;
        host::MapDrive(letter, drive);
    }
};

TEST_F(DiskSpaceTest, FixedFiguresCountInClustersOfEightSectors)
{
    struct Case {
        const char* root;
        DWORD freeClusters;
        DWORD totalClusters;
    };
    const Case cases[] = {
        {"F:", 2560, 16384},
        {"F:\\", 2560, 16384},
        {"f:\\", 2560, 16384},
        {"E:\\", 0, 1},                    // less than a cluster free
        {"H:\\", 0xFFFFFFFF, 0xFFFFFFFF},  // more clusters than 32 bits hold
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.root);
        const Space space = QuerySpace(Wide(c.root));
        ASSERT_TRUE(space.ok) << space.error;
        EXPECT_EQ(space.sectorsPerCluster, 8u);
        EXPECT_EQ(space.bytesPerSector, 512u);
        EXPECT_EQ(space.freeClusters, c.freeClusters);
        EXPECT_EQ(space.totalClusters, c.totalClusters);
    }
}

TEST_F(DiskSpaceTest, WithoutFiguresTheHostFileSystemCounts)
{
    struct statvfs host {};
    ASSERT_EQ(statvfs(m_Folder.Path().c_str(), &host), 0);
    const Space space = QuerySpace(Wide("C:\\"));
    ASSERT_TRUE(space.ok) << space.error;
    const std::uint64_t total = std::uint64_t(host.f_blocks) * host.f_frsize / 4096;
    const std::uint64_t free = std::uint64_t(host.f_bavail) * host.f_frsize / 4096;
    EXPECT_EQ(space.totalClusters, std::min<std::uint64_t>(total, 0xFFFFFFFF));
    // Others may write to the same file system meanwhile.
    EXPECT_NEAR(double(space.freeClusters), double(std::min<std::uint64_t>(free, 0xFFFFFFFF)), 64 * 256);
    EXPECT_LE(space.freeClusters, space.totalClusters);
}

TEST_F(DiskSpaceTest, OnlyAKnownDrivesRootIsCountedAndFailuresWriteNothing)
{
    struct Case {
        const char* what;
        const char* root;
        DWORD error;
    };
    const Case cases[] = {
        {"a letter no drive has", "K:\\", ERROR_PATH_NOT_FOUND},
        {"a folder, not a root", "C:\\Software", ERROR_INVALID_NAME},
        {"no drive letter", "\\Software\\", ERROR_INVALID_NAME},
        {"the current drive, which this host has not", nullptr, ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Space space = QuerySpace(c.root != nullptr ? Wide(c.root).c_str() : nullptr);
        EXPECT_FALSE(space.ok);
        EXPECT_EQ(space.error, c.error);
        EXPECT_EQ(space.sectorsPerCluster, kUnwritten);
        EXPECT_EQ(space.bytesPerSector, kUnwritten);
        EXPECT_EQ(space.freeClusters, kUnwritten);
        EXPECT_EQ(space.totalClusters, kUnwritten);
    }
}

// S: leads to the vault driver's disk, which carries no file system on this
// host: it is what Windows calls a RAW volume.
class RawVolumeTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        ASSERT_EQ(host::LoadDriver(VANTOR_IMAGE, u"Vantor", &m_Driver), STATUS_SUCCESS);
        ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, Wide("S:"), Wide("\\Device\\VantorDevice0")));
    }
    void TearDown() override
    {
        while (DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide("S:"), nullptr)) {
        }
        if (m_Driver != nullptr) {
            EXPECT_EQ(host::UnloadDriver(m_Driver), STATUS_SUCCESS);
        }
        ScratchDriveTest::TearDown();
    }

    host::Driver* m_Driver = nullptr;
};

TEST_F(RawVolumeTest, FreeSpaceAndFileCallsFailAsOnARawVolume)
{
    const Space space = QuerySpace(Wide("S:\\"));
    EXPECT_FALSE(space.ok);
    EXPECT_EQ(space.error, DWORD(ERROR_UNRECOGNIZED_VOLUME));
    EXPECT_EQ(space.freeClusters, kUnwritten);

    WIN32_FIND_DATAW data;
    SetLastError(kUnwritten);
    EXPECT_EQ(FindFirstFileW(Wide("S:\\*"), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNRECOGNIZED_VOLUME));
    SetLastError(kUnwritten);
    EXPECT_EQ(GetFileAttributesW(Wide("S:\\Documents")), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNRECOGNIZED_VOLUME));
    SetLastError(kUnwritten);
    EXPECT_FALSE(CreateDirectoryW(Wide("S:\\Documents"), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_UNRECOGNIZED_VOLUME));

    // Once the letter is gone, so is the volume.
    ASSERT_TRUE(DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide("S:"), nullptr));
    EXPECT_EQ(QuerySpace(Wide("S:\\")).error, DWORD(ERROR_PATH_NOT_FOUND));
}

}  // namespace
