// The driver's three private requests refused where they must be, each
// seen through the Win32 error its status becomes, and the unit's state
// afterwards.
#include "wine_support.h"

namespace {

using namespace wt;

constexpr int64_t kSmallVault = 256 * 1024;

class PrivateRequests : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (unsigned unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
            EnsureUnmounted(unit);
            m_Units[unit] = OpenDevice(UnitPath(unit));
            ASSERT_TRUE(m_Units[unit].Valid()) << "unit " << unit << ", error " << GetLastError();
        }
        m_Path = ScratchPath(L"protocol.sec");
        m_OtherPath = ScratchPath(L"protocol-other.sec");
        RemoveFile(m_Path);
        RemoveFile(m_OtherPath);
    }

    void TearDown() override
    {
        for (Handle& unit : m_Units) {
            if (unit.Valid()) {
                CloseVault(unit.Get());
            }
            unit.Reset();
        }
        RemoveFile(m_Path);
        RemoveFile(m_OtherPath);
    }

    HANDLE Unit(unsigned unit) const { return m_Units[unit].Get(); }

    // The unit serves a disk of this size.
    void ExpectServing(unsigned unit, uint64_t size)
    {
        uint64_t length = 0;
        ASSERT_TRUE(Succeeds(DiskLength(Unit(unit), length)));
        EXPECT_EQ(length, size);
    }

    void ExpectUnmounted(unsigned unit)
    {
        uint64_t length = 0;
        EXPECT_TRUE(FailsWith(DiskLength(Unit(unit), length), kErrorNotReady));
    }

    Handle m_Units[VANTOR_UNIT_COUNT];
    std::wstring m_Path;
    std::wstring m_OtherPath;
};

TEST_F(PrivateRequests, CloseAndPasswordChangeOnAnUnmountedUnitReportNoMedium)
{
    EXPECT_TRUE(FailsWith(CloseVault(Unit(0)), kErrorNotReady));
    EXPECT_TRUE(FailsWith(ChangePassword(Unit(0), L"whatever"), kErrorNotReady));
    ExpectUnmounted(0);
}

TEST_F(PrivateRequests, OpenRecordMustBeExactly560Bytes)
{
    const DWORD wrongSizes[] = {0, 559, 561};
    for (DWORD size : wrongSizes) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(FailsWith(OpenVault(Unit(0), m_Path, kSmallVault, L"sizes", size), kErrorInvalidParameter));
        ExpectUnmounted(0);
        EXPECT_FALSE(FileExists(m_Path)) << "a refused request created the vault file";
    }
    ASSERT_TRUE(Succeeds(OpenVault(Unit(0), m_Path, kSmallVault, L"sizes", 560)));
    ExpectServing(0, kSmallVault);
}

TEST_F(PrivateRequests, OpenOnAMountedUnitIsRefusedAndTheVaultStaysInService)
{
    ASSERT_TRUE(Succeeds(OpenVault(Unit(0), m_Path, kSmallVault, L"first")));
    AlignedBuffer block(kSectorSize);
    FillPattern(block.Data(), block.Size(), 0, 7);
    ASSERT_TRUE(Succeeds(WriteAt(Unit(0), 0, block.Data(), block.Size())));

    EXPECT_TRUE(FailsWith(OpenVault(Unit(0), m_OtherPath, 2 * kSmallVault, L"second"), kErrorInvalidFunction));
    EXPECT_FALSE(FileExists(m_OtherPath));
    ExpectServing(0, kSmallVault);
    AlignedBuffer back(kSectorSize);
    ASSERT_TRUE(Succeeds(ReadAt(Unit(0), 0, back.Data(), back.Size())));
    EXPECT_EQ(memcmp(back.Data(), block.Data(), kSectorSize), 0);
}

TEST_F(PrivateRequests, TheSameFileCannotBeMountedOnTheSecondUnit)
{
    ASSERT_TRUE(Succeeds(OpenVault(Unit(0), m_Path, kSmallVault, L"shared")));
    EXPECT_TRUE(FailsWith(OpenVault(Unit(1), m_Path, 0, L"shared"), kErrorInvalidParameter));
    ExpectUnmounted(1);
    ExpectServing(0, kSmallVault);
    // Nobody else may open it while it is mounted: the driver shares it with no one.
    EXPECT_EQ(TryOpenForReading(m_Path), kErrorSharingViolation);
}

TEST_F(PrivateRequests, FileInAMissingFolderIsRefused)
{
    const std::wstring path = ScratchPath(L"no-such-folder\\vault.sec");
    EXPECT_TRUE(FailsWith(OpenVault(Unit(0), path, kSmallVault, L"nowhere"), kErrorInvalidParameter));
    ExpectUnmounted(0);
}

TEST_F(PrivateRequests, PasswordChangeRecordMustBeExactly32Bytes)
{
    ASSERT_TRUE(Succeeds(OpenVault(Unit(0), m_Path, kSmallVault, L"keep")));
    const DWORD wrongSizes[] = {0, 31, 33};
    for (DWORD size : wrongSizes) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(FailsWith(ChangePassword(Unit(0), L"changed", size), kErrorInvalidParameter));
    }
    // The stored password is still the first one.
    ASSERT_TRUE(Succeeds(CloseVault(Unit(0))));
    EXPECT_TRUE(FailsWith(OpenVault(Unit(0), m_Path, 0, L"changed"), kErrorInvalidParameter));
    EXPECT_TRUE(Succeeds(OpenVault(Unit(0), m_Path, 0, L"keep")));
}

TEST_F(PrivateRequests, CloseEndsServiceAndASecondCloseReportsNoMedium)
{
    ASSERT_TRUE(Succeeds(OpenVault(Unit(1), m_Path, kSmallVault, L"twice")));
    ExpectServing(1, kSmallVault);
    EXPECT_TRUE(Succeeds(CloseVault(Unit(1))));
    ExpectUnmounted(1);
    EXPECT_TRUE(FailsWith(CloseVault(Unit(1)), kErrorNotReady));
    AlignedBuffer block(kSectorSize);
    EXPECT_TRUE(FailsWith(ReadAt(Unit(1), 0, block.Data(), block.Size()), kErrorNotReady));
    EXPECT_TRUE(FailsWith(WriteAt(Unit(1), 0, block.Data(), block.Size()), kErrorNotReady));
    // The file is free again.
    EXPECT_EQ(TryOpenForReading(m_Path), static_cast<DWORD>(ERROR_SUCCESS));
}

}  // namespace
