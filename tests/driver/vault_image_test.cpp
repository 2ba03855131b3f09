// The life of a vault file: creation, the password check, data at disk
// offsets, password changes, and what every failure leaves behind.
#include "framework/kpool.h"
#include "support/scratch_drive.h"
#include "vault_image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>

namespace {

using korvel::test::ReadHostFile;
using korvel::test::WriteHostFile;

constexpr ULONGLONG kDiskSize = 64 * 1024;
constexpr std::size_t kSector = 512;

// A 32-byte password field: the text, a NUL, then `after` in every byte
// that follows, which must never matter.
struct Password {
    explicit Password(const std::string& text, UCHAR after = 0)
    {
        std::memset(field, after, sizeof field);
        std::u16string units = host::Utf8ToUtf16(text);
        EXPECT_LE(units.size(), 15u) << text;
        std::memcpy(field, units.data(), units.size() * 2);
        field[units.size() * 2] = 0;
        field[units.size() * 2 + 1] = 0;
    }
    VaultImage::PasswordField field;
};

std::vector<std::uint8_t> Encoded(const std::string& text, UCHAR after = 0)
{
    Password password(text, after);
    VaultImage::EncodePassword(password.field);
    return {password.field, password.field + sizeof password.field};
}

std::vector<std::uint8_t> Slice(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t count)
{
    if (from + count > bytes.size()) {
        return {};
    }
    return {bytes.begin() + static_cast<std::ptrdiff_t>(from),
            bytes.begin() + static_cast<std::ptrdiff_t>(from + count)};
}

bool AllZero(const std::vector<std::uint8_t>& bytes)
{
    for (auto byte : bytes) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}

class VaultImageTest : public korvel::test::ScratchDriveTest {
protected:
    void SetUp() override
    {
        ScratchDriveTest::SetUp();
        m_PoolBefore = host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks;
    }
    void TearDown() override
    {
        // Every test ends with its images gone: no pool block may be left.
        m_Image.reset();
        m_Other.reset();
        EXPECT_EQ(host::PoolBalanceForTag(VANTOR_POOL_TAG).blocks, m_PoolBefore);
        ScratchDriveTest::TearDown();
    }

    VaultImage& Image()
    {
        if (!m_Image) {
            m_Image.emplace();
        }
        return *m_Image;
    }

    NTSTATUS Mount(VaultImage& image, const std::string& password, ULONGLONG size = 0,
                   const std::string& name = "vault.sec", UCHAR after = 0)
    {
        Password field(password, after);
        return image.Mount(NtPath(name), field.field, size);
    }

    // Creates a vault and closes it again, as a user who made it yesterday.
    void CreateVault(const std::string& password, const std::string& name = "vault.sec", UCHAR after = 0)
    {
        VaultImage image;
        ASSERT_EQ(Mount(image, password, kDiskSize, name, after), STATUS_SUCCESS);
        ASSERT_EQ(image.Unmount(), STATUS_SUCCESS);
    }

    std::vector<std::uint8_t> VaultBytes(const std::string& name = "vault.sec") const
    {
        return ReadHostFile(HostPath(name));
    }

    std::optional<VaultImage> m_Image;
    std::optional<VaultImage> m_Other;
    std::int64_t m_PoolBefore = 0;
};

TEST_F(VaultImageTest, CreatesTheDocumentedLayoutAndMountsItAgain)
{
    ASSERT_EQ(Mount(Image(), "Secret", kDiskSize), STATUS_SUCCESS);
    EXPECT_TRUE(Image().IsMounted());
    EXPECT_EQ(Image().DiskSize(), kDiskSize);
    EXPECT_EQ(korvel::test::Narrow(Image().FileName().Text()), "\\??\\C:\\vault.sec");
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);

    const auto bytes = VaultBytes();
    ASSERT_EQ(bytes.size(), kDiskSize + 1024);
    EXPECT_TRUE(AllZero(Slice(bytes, 0, 512)));
    EXPECT_EQ(Slice(bytes, 512, 32), Encoded("Secret"));
    EXPECT_TRUE(AllZero(Slice(bytes, 544, 480)));
    EXPECT_TRUE(AllZero(Slice(bytes, 1024, kDiskSize)));

    // A later mount takes the size from the file and ignores the one asked for.
    ASSERT_EQ(Mount(Image(), "Secret", 5 * kDiskSize), STATUS_SUCCESS);
    EXPECT_EQ(Image().DiskSize(), kDiskSize);
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);
    EXPECT_EQ(VaultBytes(), bytes);
}

TEST_F(VaultImageTest, CreatesASizeThatIsNotWholeSectors)
{
    ASSERT_EQ(Mount(Image(), "odd", kDiskSize + 100), STATUS_SUCCESS);
    EXPECT_EQ(Image().DiskSize(), kDiskSize + 100);
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);
    EXPECT_EQ(VaultBytes().size(), kDiskSize + 100 + 1024);
    ASSERT_EQ(Mount(Image(), "odd"), STATUS_SUCCESS);
    EXPECT_EQ(Image().DiskSize(), kDiskSize + 100);
}

struct PasswordCase {
    const char* label;
    std::string created;
    UCHAR createdAfter;
    std::string offered;
    UCHAR offeredAfter;
    bool mounts;
};

void PrintTo(const PasswordCase& c, std::ostream* out)
{
    *out << c.label;
}

class VaultPasswordCheck : public VaultImageTest, public ::testing::WithParamInterface<PasswordCase> {};

TEST_P(VaultPasswordCheck, MountsOnlyWithTheMatchingPassword)
{
    const PasswordCase& c = GetParam();
    CreateVault(c.created, "vault.sec", c.createdAfter);
    const auto before = VaultBytes();
    host::ClearDebugOutput();

    const NTSTATUS status = Mount(Image(), c.offered, kDiskSize, "vault.sec", c.offeredAfter);

    EXPECT_EQ(status, c.mounts ? STATUS_SUCCESS : STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Image().IsMounted(), c.mounts);
    EXPECT_EQ(Image().HasOpenFile(), c.mounts);
    Image().Unmount();
    EXPECT_EQ(VaultBytes(), before) << "a mount, good or bad, changes nothing in the file";
    // The check is traced, but neither the stored password nor its length is.
    EXPECT_EQ(host::DebugOutput(), "Vantor: ---> ********\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, VaultPasswordCheck,
    ::testing::Values(PasswordCase{"same", "Secret", 0, "Secret", 0, true},
                      PasswordCase{"other_case", "Secret", 0, "sECRET", 0, true},
                      PasswordCase{"longer", "Secret", 0, "Secret1", 0, false},
                      PasswordCase{"shorter", "Secret", 0, "Secre", 0, false},
                      PasswordCase{"wrong", "Secret", 0, "Other", 0, false},
                      PasswordCase{"empty_with_empty", "", 0, "", 0, true},
                      PasswordCase{"empty_with_text", "", 0, "a", 0, false},
                      PasswordCase{"text_with_empty", "a", 0, "", 0, false},
                      PasswordCase{"fifteen_chars", "ABCDEFGHIJKLMNO", 0, "abcdefghijklmno", 0, true},
                      PasswordCase{"fifteen_vs_fourteen", "ABCDEFGHIJKLMNO", 0, "ABCDEFGHIJKLMN", 0, false},
                      PasswordCase{"bytes_after_nul_on_create", "Secret", 0x5A, "Secret", 0, true},
                      PasswordCase{"bytes_after_nul_on_mount", "Secret", 0, "SECRET", 0xC3, true},
                      PasswordCase{"chinese", "保险柜密码", 0, "保险柜密码", 0, true},
                      PasswordCase{"chinese_wrong", "保险柜密码", 0, "保险箱密码", 0, false}),
    [](const auto& tc) { return std::string(tc.param.label); });

TEST_F(VaultImageTest, RefusesFilesThatHoldNoPassword)
{
    struct Case {
        const char* label;
        std::vector<std::uint8_t> contents;
    };
    std::vector<std::uint8_t> shortVault(600, 0);
    const auto header = Encoded("pw");
    std::copy(header.begin(), header.end(), shortVault.begin() + 512);
    const Case cases[] = {
        // Zeros decode to 32 bytes of 0xFF: no NUL, so no password matches.
        {"empty", {}},
        {"zero_header", std::vector<std::uint8_t>(1024 + kSector, 0)},
        // Too short to hold a data area, even though its password matches.
        {"shorter_than_header", shortVault},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteHostFile(HostPath("held.sec"), c.contents);
        for (const char* offered : {"", "pw"}) {
            EXPECT_EQ(Mount(Image(), offered, kDiskSize, "held.sec"), STATUS_INVALID_PARAMETER) << offered;
            EXPECT_FALSE(Image().IsMounted());
        }
        // A field of sixteen 0xFFFF units, which decodes nowhere near a NUL either.
        VaultImage::PasswordField noNul;
        std::memset(noNul, 0xFF, sizeof noNul);
        EXPECT_EQ(Image().Mount(NtPath("held.sec"), noNul, 0), STATUS_INVALID_PARAMETER);
        EXPECT_EQ(ReadHostFile(HostPath("held.sec")), c.contents);
    }
}

TEST_F(VaultImageTest, WritesUpToTheEndOfTheDiskAndNoFurther)
{
    ASSERT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_SUCCESS);
    struct Case {
        const char* label;
        ULONGLONG offset;
        ULONG length;
        NTSTATUS status;
        ULONG_PTR bytes;
    };
    const Case cases[] = {
        {"first_sector", 0, kSector, STATUS_SUCCESS, kSector},
        {"ends_at_disk_size", kDiskSize - 2 * kSector, 2 * kSector, STATUS_SUCCESS, 2 * kSector},
        {"ends_one_byte_later", kDiskSize - 2 * kSector + 1, 2 * kSector, STATUS_INVALID_PARAMETER, 0},
        {"sector_after_the_end", kDiskSize, kSector, STATUS_INVALID_PARAMETER, 0},
        {"longer_than_the_disk", 0, ULONG(kDiskSize + kSector), STATUS_INVALID_PARAMETER, 0},
        {"offset_wraps_round", ~0ULL - kSector + 1, 2 * kSector, STATUS_INVALID_PARAMETER, 0},
        {"last_offset", ~0ULL, 1, STATUS_INVALID_PARAMETER, 0},
        {"empty_at_the_end", kDiskSize, 0, STATUS_SUCCESS, 0},
    };
    std::vector<std::uint8_t> data(kDiskSize + kSector, 0);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto before = VaultBytes();
        ULONG_PTR bytes = 0xdeadbeef;
        EXPECT_EQ(Image().WriteData(c.offset, c.length, data.data(), bytes), c.status);
        EXPECT_EQ(bytes, c.bytes);
        const auto after = VaultBytes();
        ASSERT_EQ(after.size(), kDiskSize + 1024) << "a write never changes the file's length";
        if (c.status == STATUS_SUCCESS) {
            EXPECT_EQ(Slice(after, 1024 + c.offset, c.length), Slice(data, 0, c.length));
        } else {
            EXPECT_EQ(after, before) << "a refused write writes nothing";
        }
    }
}

TEST_F(VaultImageTest, ReadsDataBackAtDiskOffsets)
{
    ASSERT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_SUCCESS);
    std::vector<std::uint8_t> pattern(4 * kSector);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<std::uint8_t>(255 - i % 251);
    }
    ULONG_PTR bytes = 0;
    ASSERT_EQ(Image().WriteData(8 * kSector, ULONG(pattern.size()), pattern.data(), bytes), STATUS_SUCCESS);
    ASSERT_EQ(Image().WriteData(kDiskSize - kSector, kSector, pattern.data(), bytes), STATUS_SUCCESS);

    struct Case {
        const char* label;
        ULONGLONG offset;
        ULONG length;
        NTSTATUS status;
        ULONG_PTR bytes;
        std::vector<std::uint8_t> expected;
    };
    const Case cases[] = {
        {"written_run", 8 * kSector, ULONG(pattern.size()), STATUS_SUCCESS, pattern.size(), pattern},
        {"inside_the_run", 9 * kSector, kSector, STATUS_SUCCESS, kSector, Slice(pattern, kSector, kSector)},
        {"untouched_zeros", 0, kSector, STATUS_SUCCESS, kSector, std::vector<std::uint8_t>(kSector, 0)},
        {"last_sector", kDiskSize - kSector, kSector, STATUS_SUCCESS, kSector, Slice(pattern, 0, kSector)},
        // Reads are not bounded by the disk: the file's end stops them.
        {"across_the_end", kDiskSize - kSector, 2 * kSector, STATUS_SUCCESS, kSector, Slice(pattern, 0, kSector)},
        {"past_the_end", kDiskSize, kSector, STATUS_END_OF_FILE, 0, {}},
        {"not_whole_sectors", 0, 100, STATUS_INVALID_PARAMETER, 0, {}},
        {"offset_near_2_to_63", 0x7FFFFFFFFFFFFE00ULL, kSector, STATUS_INVALID_PARAMETER, 0, {}},
        {"offset_near_2_to_64", ~0ULL - 1023, kSector, STATUS_INVALID_PARAMETER, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::vector<std::uint8_t> out(c.length + 16, 0xEE);
        bytes = 0xdeadbeef;
        EXPECT_EQ(Image().ReadData(c.offset, c.length, out.data(), bytes), c.status);
        EXPECT_EQ(bytes, c.bytes);
        EXPECT_EQ(Slice(out, 0, c.bytes), c.expected);
        EXPECT_EQ(out[c.bytes], 0xEE) << "nothing is copied beyond the bytes read";
        if (c.status != STATUS_INVALID_PARAMETER) {
            EXPECT_EQ(Image().LastFileStatus().Status, c.status);
            EXPECT_EQ(Image().LastFileStatus().Information, c.bytes);
        }
    }
}

TEST_F(VaultImageTest, ChangesThePasswordAndLeavesTheDataAlone)
{
    ASSERT_EQ(Mount(Image(), "OldPass", kDiskSize), STATUS_SUCCESS);
    std::vector<std::uint8_t> pattern(16 * kSector);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<std::uint8_t>(i * 13);
    }
    ULONG_PTR bytes = 0;
    ASSERT_EQ(Image().WriteData(32 * kSector, ULONG(pattern.size()), pattern.data(), bytes), STATUS_SUCCESS);
    const auto dataBefore = Slice(VaultBytes(), 1024, kDiskSize);

    Password fresh("NewPass");
    ASSERT_EQ(Image().ChangePassword(fresh.field), STATUS_SUCCESS);
    EXPECT_TRUE(Image().IsMounted());
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);

    const auto bytesAfter = VaultBytes();
    EXPECT_EQ(Slice(bytesAfter, 512, 32), Encoded("NewPass"));
    EXPECT_TRUE(AllZero(Slice(bytesAfter, 544, 480)));
    EXPECT_EQ(Slice(bytesAfter, 1024, kDiskSize), dataBefore);

    EXPECT_EQ(Mount(Image(), "OldPass"), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Mount(Image(), "newpass"), STATUS_SUCCESS);
}

TEST_F(VaultImageTest, RefusesWhatNeedsAMountedVault)
{
    Password password("pw");
    EXPECT_EQ(Image().Unmount(), STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_EQ(Image().ChangePassword(password.field), STATUS_NO_MEDIA_IN_DEVICE);
    CreateVault("pw");
    ASSERT_EQ(Mount(Image(), "pw"), STATUS_SUCCESS);
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);
    EXPECT_EQ(Image().Unmount(), STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_EQ(Image().ChangePassword(password.field), STATUS_NO_MEDIA_IN_DEVICE);
    EXPECT_FALSE(Image().HasOpenFile());
}

TEST_F(VaultImageTest, ASecondOpenOfAMountedFileFails)
{
    ASSERT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_SUCCESS);
    m_Other.emplace();
    EXPECT_EQ(Mount(*m_Other, "pw"), STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(m_Other->IsMounted());

    // The first mount goes on serving.
    const std::vector<std::uint8_t> sector(kSector, 0x42);
    ULONG_PTR bytes = 0;
    EXPECT_EQ(Image().WriteData(0, kSector, sector.data(), bytes), STATUS_SUCCESS);
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);
    EXPECT_EQ(Mount(*m_Other, "pw"), STATUS_SUCCESS);
}

TEST_F(VaultImageTest, FailsWhereTheFileCannotBeOpened)
{
    struct Case {
        const char* label;
        const char* name;
    };
    const Case cases[] = {
        {"missing_folder", "nowhere\\vault.sec"},
        {"name_a_folder", "folder"},
        {"invalid_name", "va?lt.sec"},
    };
    ASSERT_EQ(mkdir(HostPath("folder").c_str(), 0755), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(Mount(Image(), "pw", kDiskSize, c.name), STATUS_INVALID_PARAMETER);
        EXPECT_FALSE(Image().IsMounted());
    }
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("nowhere")));
}

TEST_F(VaultImageTest, AFullVolumeRefusesANewVault)
{
    host::MapDrive('C', host::Drive{m_Folder.Path(), host::DriveType::Fixed, kDiskSize / 2});
    EXPECT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(Image().IsMounted());
    // The empty file stays, and holds no password that could open it.
    EXPECT_EQ(VaultBytes().size(), 0u);
    EXPECT_EQ(Mount(Image(), "pw"), STATUS_INVALID_PARAMETER);
}

TEST_F(VaultImageTest, ANewVaultWhoseHeaderCannotBeWrittenDoesNotMount)
{
    host::FailKernelCalls(host::KernelCall::ZwWriteFile, STATUS_IO_DEVICE_ERROR, 0, 1);
    EXPECT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(Image().IsMounted());
    EXPECT_FALSE(Image().HasOpenFile());

    // The file is closed and holds a zero header: nothing can open it as a vault.
    const auto bytes = VaultBytes();
    EXPECT_TRUE(AllZero(Slice(bytes, 512, 512)));
    EXPECT_EQ(Mount(Image(), "pw"), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Mount(Image(), ""), STATUS_INVALID_PARAMETER);
}

TEST_F(VaultImageTest, AHeaderBlockWrittenOnlyInPartCountsAsFailedForCreationAndChange)
{
    // Cut to nothing, the write succeeds; only its count tells that the block
    // is not on disk.
    host::ShortenKernelWrites(0, 1);
    EXPECT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(Image().IsMounted());
    EXPECT_FALSE(Image().HasOpenFile());
    EXPECT_TRUE(AllZero(Slice(VaultBytes(), 512, 512)));

    CreateVault("OldPass", "kept.sec");
    ASSERT_EQ(Mount(Image(), "OldPass", 0, "kept.sec"), STATUS_SUCCESS);
    const auto before = VaultBytes("kept.sec");
    host::ShortenKernelWrites(0, 1);
    Password fresh("NewPass");
    EXPECT_FALSE(NT_SUCCESS(Image().ChangePassword(fresh.field)));
    EXPECT_TRUE(Image().IsMounted()) << "the vault goes on serving";
    ASSERT_EQ(Image().Unmount(), STATUS_SUCCESS);
    EXPECT_EQ(VaultBytes("kept.sec"), before);
    EXPECT_EQ(Mount(Image(), "NewPass", 0, "kept.sec"), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Mount(Image(), "OldPass", 0, "kept.sec"), STATUS_SUCCESS);
}

TEST_F(VaultImageTest, ARefusedSizeLeavesAnEmptyFile)
{
    // A size whose file length would pass 2^63 must not wrap round to a small file.
    EXPECT_EQ(Mount(Image(), "pw", ~0ULL - 100), STATUS_INVALID_PARAMETER);
    EXPECT_FALSE(Image().IsMounted());
    EXPECT_EQ(VaultBytes().size(), 0u);
}

TEST_F(VaultImageTest, ExhaustedPoolFailsCleanly)
{
    // Mount: nothing is opened or created.
    host::FailPoolAllocations(VANTOR_POOL_TAG, 0, 1);
    EXPECT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("vault.sec")));

    ASSERT_EQ(Mount(Image(), "pw", kDiskSize), STATUS_SUCCESS);

    // Read: no buffer, no bytes. Only a destination off a page boundary
    // needs the temporary buffer; a page-aligned one is read into directly.
    host::FailPoolAllocations(VANTOR_POOL_TAG, 0, 1);
    std::vector<std::uint8_t> storage(kSector + 2 * 4096, 0xEE);
    std::uint8_t* out = reinterpret_cast<std::uint8_t*>(
        (reinterpret_cast<std::uintptr_t>(storage.data()) + 4095) / 4096 * 4096 + 16);
    ULONG_PTR bytes = 0xdeadbeef;
    EXPECT_EQ(Image().ReadData(0, kSector, out, bytes), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + kSector), std::vector<std::uint8_t>(kSector, 0xEE));

    // Password change: nothing written, the caller's field untouched.
    const auto before = VaultBytes();
    Password fresh("fresh");
    const Password untouched("fresh");
    host::FailPoolAllocations(VANTOR_POOL_TAG, 0, 1);
    EXPECT_EQ(Image().ChangePassword(fresh.field), STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(std::memcmp(fresh.field, untouched.field, sizeof fresh.field), 0);
    EXPECT_EQ(VaultBytes(), before);
    EXPECT_TRUE(Image().IsMounted());
}

}  // namespace
