// Vaults made and served by the driver, checked byte for byte in the file
// the driver wrote once it has let go of it: the zero block, the scrambled
// password, the data at its disk offset + 1024.
#include "wine_support.h"

#include <cstring>

namespace {

using namespace wt;

constexpr uint64_t kVaultSize = 1 * kMiB;

// One transfer through the device: where, how long, and which pattern.
struct Block {
    uint64_t offset;
    DWORD length;
    uint32_t seed;
};

const Block kBlocks[] = {
    {0, kSectorSize, 1},                         // the first sector
    {64 * 1024 + 512, 8 * 1024, 2},              // several sectors at an odd sector
    {kVaultSize - kSectorSize, kSectorSize, 3},  // the last sector
};

class VaultFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureUnmounted(0);
        EnsureUnmounted(1);
        m_Path = ScratchPath(L"vault.sec");
        RemoveFile(m_Path);
        m_Unit = OpenDevice(UnitPath(0));
        ASSERT_TRUE(m_Unit.Valid()) << GetLastError();
    }

    void TearDown() override
    {
        if (m_Unit.Valid()) {
            CloseVault(m_Unit.Get());
        }
        m_Unit.Reset();
        RemoveFile(m_Path);
    }

    // Writes every block through the device and reads each back.
    void WriteBlocks()
    {
        for (const Block& block : kBlocks) {
            SCOPED_TRACE(block.offset);
            AlignedBuffer out(block.length);
            FillPattern(out.Data(), block.length, block.offset, block.seed);
            const CallResult written = WriteAt(m_Unit.Get(), block.offset, out.Data(), block.length);
            ASSERT_TRUE(Succeeds(written));
            EXPECT_EQ(written.bytes, block.length);
            AlignedBuffer in(block.length);
            const CallResult read = ReadAt(m_Unit.Get(), block.offset, in.Data(), block.length);
            ASSERT_TRUE(Succeeds(read));
            EXPECT_EQ(read.bytes, block.length);
            EXPECT_EQ(memcmp(in.Data(), out.Data(), block.length), 0);
        }
    }

    // The data area as the blocks leave it: zero elsewhere.
    static std::vector<uint8_t> ExpectedDataArea()
    {
        std::vector<uint8_t> data(kVaultSize, 0);
        for (const Block& block : kBlocks) {
            FillPattern(data.data() + block.offset, block.length, block.offset, block.seed);
        }
        return data;
    }

    // Checks the whole unmounted file: length, zero block, password block, data.
    void ExpectFile(const wchar_t* password, const std::vector<uint8_t>& dataArea)
    {
        ASSERT_EQ(FileLength(m_Path), kVaultSize + kHeaderSize);
        const std::vector<uint8_t> file = ReadFileRange(m_Path, 0, kVaultSize + kHeaderSize);
        ASSERT_EQ(file.size(), kVaultSize + kHeaderSize);
        EXPECT_EQ(NonZeroBytes(file, 0, 512), 0u) << "bytes 0-511 are not zero";
        const PasswordBlock stored = Scrambled(password);
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), file.begin() + 512)) << "bytes 512-543";
        EXPECT_EQ(NonZeroBytes(file, 544, 1024), 0u) << "bytes 544-1023 are not zero";
        EXPECT_TRUE(std::equal(dataArea.begin(), dataArea.end(), file.begin() + kHeaderSize)) << "data area";
    }

    std::wstring m_Path;
    Handle m_Unit;
};

// The driver itself, not the tests' table, against the documented example:
// "abc" is stored as 9E 9D 3A 39 D5, then one less per byte down to BA.
TEST_F(VaultFile, ANewVaultStoresAbcAsDocumented)
{
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, kVaultSize, L"abc")));
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
    const std::vector<uint8_t> block = ReadFileRange(m_Path, 512, 32);
    ASSERT_EQ(block.size(), 32u);
    const uint8_t head[] = {0x9E, 0x9D, 0x3A, 0x39, 0xD5};
    for (unsigned i = 0; i < sizeof head; ++i) {
        EXPECT_EQ(block[i], head[i]) << "byte " << i;
    }
    for (unsigned i = 5; i < 32; ++i) {
        EXPECT_EQ(block[i], 0xD5 - (i - 4)) << "byte " << i;
    }
    EXPECT_TRUE(std::equal(block.begin(), block.end(), Scrambled(L"abc").begin())) << "the tests' table agrees";
}

TEST_F(VaultFile, NewVaultHasTheExactLayoutAndDataAtItsOffsetPlus1024)
{
    ASSERT_FALSE(FileExists(m_Path));
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, kVaultSize, L"Secret7")));
    uint64_t length = 0;
    ASSERT_TRUE(Succeeds(DiskLength(m_Unit.Get(), length)));
    EXPECT_EQ(length, kVaultSize);
    WriteBlocks();
    // While mounted, the file is the driver's alone.
    EXPECT_EQ(TryOpenForReading(m_Path), kErrorSharingViolation);
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));

    ExpectFile(L"Secret7", ExpectedDataArea());
}

TEST_F(VaultFile, ReopenIgnoresTheRequestedSizeAndServesTheSameData)
{
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, kVaultSize, L"Secret7")));
    WriteBlocks();
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));

    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, 8 * kVaultSize, L"Secret7")));
    uint64_t length = 0;
    ASSERT_TRUE(Succeeds(DiskLength(m_Unit.Get(), length)));
    EXPECT_EQ(length, kVaultSize);
    for (const Block& block : kBlocks) {
        SCOPED_TRACE(block.offset);
        AlignedBuffer in(block.length);
        ASSERT_TRUE(Succeeds(ReadAt(m_Unit.Get(), block.offset, in.Data(), block.length)));
        EXPECT_EQ(std::vector<uint8_t>(in.Data(), in.Data() + block.length),
                  Pattern(block.length, block.offset, block.seed));
    }
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
    ExpectFile(L"Secret7", ExpectedDataArea());
}

// A vault made with one password, offered another: letter case never matters.
struct PasswordCase {
    const wchar_t* stored;
    const wchar_t* offered;
    bool accepted;
};

const PasswordCase kPasswordCases[] = {
    {L"Secret7", L"Secret7", true},
    {L"Secret7", L"sECRET7", true},
    {L"Secret7", L"SECRET7", true},
    {L"Secret7", L"Secret8", false},
    {L"Secret7", L"Secret", false},
    {L"Secret7", L"Secret77", false},
    {L"Secret7", L"", false},
    {L"", L"", true},
    {L"", L"a", false},
    {L"FifteenLetters!", L"fifteenletters!", true},
    {L"FifteenLetters!", L"FifteenLetters", false},
};

TEST_F(VaultFile, PasswordIsComparedWithoutRegardToLetterCase)
{
    for (const PasswordCase& entry : kPasswordCases) {
        SCOPED_TRACE(::testing::Message() << "stored \"" << Narrow(entry.stored) << "\", offered \""
                                          << Narrow(entry.offered) << "\"");
        RemoveFile(m_Path);
        ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, 64 * 1024, entry.stored)));
        ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
        const std::vector<uint8_t> before = ReadFileRange(m_Path, 0, 64 * 1024 + kHeaderSize);

        const CallResult open = OpenVault(m_Unit.Get(), m_Path, 0, entry.offered);
        if (entry.accepted) {
            EXPECT_TRUE(Succeeds(open));
            EXPECT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
        } else {
            EXPECT_TRUE(FailsWith(open, kErrorInvalidParameter));
            uint64_t length = 0;
            EXPECT_TRUE(FailsWith(DiskLength(m_Unit.Get(), length), kErrorNotReady));
        }
        EXPECT_EQ(ReadFileRange(m_Path, 0, 64 * 1024 + kHeaderSize), before) << "the file changed";
    }
}

TEST_F(VaultFile, PasswordChangeRewritesOnlyThePasswordBlock)
{
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, kVaultSize, L"OldPass")));
    WriteBlocks();
    ASSERT_TRUE(Succeeds(ChangePassword(m_Unit.Get(), L"N3w-Pass")));
    // The vault stays in service.
    uint64_t length = 0;
    ASSERT_TRUE(Succeeds(DiskLength(m_Unit.Get(), length)));
    EXPECT_EQ(length, kVaultSize);
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
    ExpectFile(L"N3w-Pass", ExpectedDataArea());

    EXPECT_TRUE(FailsWith(OpenVault(m_Unit.Get(), m_Path, 0, L"OldPass"), kErrorInvalidParameter));
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, 0, L"n3W-pASS")));
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
}

TEST_F(VaultFile, WritePastTheEndIsRefusedAndWritesNothing)
{
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, kVaultSize, L"bounds")));
    WriteBlocks();
    const uint64_t last = kVaultSize - kSectorSize;

    // Two sectors starting at the last one, one sector after the end, one far out.
    const struct {
        uint64_t offset;
        DWORD length;
    } beyond[] = {{last, 2 * kSectorSize}, {kVaultSize, kSectorSize}, {16 * kVaultSize, kSectorSize}};
    for (const auto& write : beyond) {
        SCOPED_TRACE(write.offset);
        AlignedBuffer out(write.length);
        FillPattern(out.Data(), write.length, write.offset, 99);
        const CallResult result = WriteAt(m_Unit.Get(), write.offset, out.Data(), write.length);
        EXPECT_TRUE(FailsWith(result, kErrorInvalidParameter));
        EXPECT_EQ(result.bytes, 0u);
    }
    // The last sector still holds what was written there, and reads whole.
    AlignedBuffer in(kSectorSize);
    const CallResult read = ReadAt(m_Unit.Get(), last, in.Data(), kSectorSize);
    ASSERT_TRUE(Succeeds(read));
    EXPECT_EQ(read.bytes, kSectorSize);
    EXPECT_EQ(std::vector<uint8_t>(in.Data(), in.Data() + kSectorSize), Pattern(kSectorSize, last, 3));

    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
    ExpectFile(L"bounds", ExpectedDataArea());
}

TEST_F(VaultFile, TwoUnitsServeTwoVaultsIndependently)
{
    const std::wstring otherPath = ScratchPath(L"vault-unit1.sec");
    RemoveFile(otherPath);
    Handle other = OpenDevice(UnitPath(1));
    ASSERT_TRUE(other.Valid()) << GetLastError();
    ASSERT_TRUE(Succeeds(OpenVault(m_Unit.Get(), m_Path, kVaultSize, L"zero")));
    ASSERT_TRUE(Succeeds(OpenVault(other.Get(), otherPath, 2 * kVaultSize, L"one")));

    // The same disk offsets, different data, alternating between the units.
    AlignedBuffer block(4096);
    for (uint64_t offset = 0; offset < kVaultSize; offset += 256 * 1024) {
        FillPattern(block.Data(), block.Size(), offset, 10);
        ASSERT_TRUE(Succeeds(WriteAt(m_Unit.Get(), offset, block.Data(), block.Size())));
        FillPattern(block.Data(), block.Size(), offset, 11);
        ASSERT_TRUE(Succeeds(WriteAt(other.Get(), offset, block.Data(), block.Size())));
    }
    uint64_t length = 0;
    ASSERT_TRUE(Succeeds(DiskLength(other.Get(), length)));
    EXPECT_EQ(length, 2 * kVaultSize);
    ASSERT_TRUE(Succeeds(CloseVault(m_Unit.Get())));
    ASSERT_TRUE(Succeeds(CloseVault(other.Get())));

    for (uint64_t offset = 0; offset < kVaultSize; offset += 256 * 1024) {
        SCOPED_TRACE(offset);
        EXPECT_EQ(ReadFileRange(m_Path, offset + kHeaderSize, 4096), Pattern(4096, offset, 10));
        EXPECT_EQ(ReadFileRange(otherPath, offset + kHeaderSize, 4096), Pattern(4096, offset, 11));
    }
    EXPECT_EQ(FileLength(otherPath), 2 * kVaultSize + kHeaderSize);
    RemoveFile(otherPath);
}

}  // namespace
