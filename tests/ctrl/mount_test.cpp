// Mounting vaults as drive letters through the library, against the real
// driver: the letter's life, the volume's lock, the password, and the
// report lines on standard error.
#include "pellix_fixture.h"
#include "support/stored_passwords.h"

#include "vantor_ioctl.h"

#include <host/kernel_io.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

using korvel::test::PellixTest;
using korvel::test::ReadHostFile;
using korvel::test::Sectors;
using korvel::test::Wide;

constexpr int kSizeMb = 8;
constexpr std::size_t kSizeBytes = std::size_t(kSizeMb) << 20;

// Bytes 512-543 of a vault file made with `password`.
std::vector<std::uint8_t> ScrambledPassword(const char* password)
{
    const korvel::test::StoredPassword* row = korvel::test::FindStoredPassword(password);
    if (row == nullptr) {
        ADD_FAILURE() << "no stored form of \"" << password << "\" in support/stored_passwords.h";
        return {};
    }
    return {row->stored.begin(), row->stored.end()};
}

HANDLE OpenVolume(const char* letter)
{
    return CreateFileW(Wide(std::string("\\\\.\\") + letter), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
}

class MountTest : public PellixTest {
protected:
    void SetUp() override
    {
        PellixTest::SetUp();
        ASSERT_EQ(Install(), 1);
        std::filesystem::create_directories(HostPath("autorun.inf"));
    }

    int MountVault(const char* password, int sizeMb = kSizeMb, const char* drive = "S",
                   const char* path = "C:\\autorun.inf\\vault.sec")
    {
        return m_MountEx(0, Wide(path), sizeMb, Wide(password), Wide(drive));
    }

    std::vector<std::uint8_t> VaultBytes() const { return ReadHostFile(HostPath("autorun.inf/vault.sec")); }
};

TEST_F(MountTest, AMountedVaultIsServedAsSAndClosedAgain)
{
    ASSERT_EQ(MountVault("Secret"), 1);
    EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice0");
    EXPECT_EQ(GetDriveTypeW(Wide("S:\\")), UINT(DRIVE_FIXED));

    HANDLE volume = OpenVolume("S:");
    ASSERT_NE(volume, INVALID_HANDLE_VALUE);
    auto data = Sectors(8, 0x3C);
    data[0] = 'K';
    LARGE_INTEGER at;
    at.QuadPart = 64 * 1024;
    ASSERT_TRUE(SetFilePointerEx(volume, at, nullptr, FILE_BEGIN));
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(volume, data.data(), DWORD(data.size()), &done, nullptr));
    EXPECT_EQ(done, data.size());
    ASSERT_TRUE(SetFilePointerEx(volume, at, nullptr, FILE_BEGIN));
    auto back = Sectors(8, 0);
    ASSERT_TRUE(ReadFile(volume, back.data(), DWORD(back.size()), &done, nullptr));
    EXPECT_EQ(back, data);
    GET_LENGTH_INFORMATION length{};
    ASSERT_TRUE(DeviceIoControl(volume, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done,
                                nullptr));
    EXPECT_EQ(std::size_t(length.Length.QuadPart), kSizeBytes);
    CloseHandle(volume);

    ASSERT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    EXPECT_EQ(DosDeviceTarget("S:"), "");
    EXPECT_TRUE(VaultFileClosed("autorun.inf\\vault.sec"));
    const auto bytes = VaultBytes();
    ASSERT_EQ(bytes.size(), kSizeBytes + 1024);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 512, bytes.begin() + 544), ScrambledPassword("Secret"));
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin() + 1024 + 64 * 1024, bytes.begin() + 1024 + 64 * 1024 + 4096),
              data);

    // Opened again, in another letter case and with no size.
    ASSERT_EQ(MountVault("sECRET", 0), 1);
    EXPECT_EQ(VaultBytes().size(), kSizeBytes + 1024);
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
}

TEST_F(MountTest, ABusyLetterIsReportedAndNothingIsSent)
{
    ASSERT_EQ(MountVault("pw"), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(m_MountEx(1, Wide("C:\\autorun.inf\\other.sec"), kSizeMb, Wide("pw"), Wide("S")), 0);
    const DWORD error = GetLastError();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "S: 请求的资源在使用中。\r\n");
    EXPECT_EQ(error, DWORD(ERROR_BUSY));
    EXPECT_FALSE(korvel::test::HostFileExists(HostPath("autorun.inf/other.sec"))) << "nothing reached unit 1";
    EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice0") << "the letter still leads to the first vault";
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
}

TEST_F(MountTest, AWrongPasswordIsRefusedAndLeavesNoLetter)
{
    ASSERT_EQ(MountVault("Secret"), 1);
    ASSERT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    const auto before = VaultBytes();
    testing::internal::CaptureStderr();
    EXPECT_EQ(MountVault("Wrong", 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "PlainDisk: 参数错误。\r\n");
    EXPECT_EQ(DosDeviceTarget("S:"), "");
    EXPECT_EQ(VaultBytes(), before);
    // The unit is free again for the right password.
    EXPECT_EQ(MountVault("SECRET", 0), 1);
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
}

TEST_F(MountTest, AnUnforcedDismountFailsWhileTheVolumeIsInUseAndAForcedOneDoesNot)
{
    ASSERT_EQ(MountVault("pw"), 1);
    HANDLE held = OpenVolume("S:");
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    testing::internal::CaptureStderr();
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "steps after the open report nothing";
    EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice0");
    GET_LENGTH_INFORMATION length{};
    DWORD done = 0;
    EXPECT_TRUE(DeviceIoControl(held, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done, nullptr))
        << "the vault is still mounted";

    EXPECT_EQ(m_UnMountEx(Wide("S"), 1), 1);
    EXPECT_EQ(DosDeviceTarget("S:"), "");
    EXPECT_TRUE(VaultFileClosed("autorun.inf\\vault.sec"));
    // The volume went from under the handle that held it.
    EXPECT_FALSE(DeviceIoControl(held, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done,
                                 nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_READY));
    CloseHandle(held);
}

TEST_F(MountTest, APasswordChangeNeedsAMountedLetterAndTakesEffectAtTheNextMount)
{
    ASSERT_EQ(MountVault("OldPass"), 1);
    const auto dataBefore = VaultBytes();
    EXPECT_EQ(m_ChangePwd(Wide("S"), Wide("0123456789abcdef")), 0) << "sixteen characters do not fit";
    EXPECT_EQ(m_ChangePwd(Wide("S"), Wide("NewPass")), 1);
    ASSERT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    const auto after = VaultBytes();
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin() + 512, after.begin() + 544), ScrambledPassword("NewPass"));
    EXPECT_EQ(std::vector<std::uint8_t>(after.begin() + 1024, after.end()),
              std::vector<std::uint8_t>(dataBefore.begin() + 1024, dataBefore.end()));
    EXPECT_EQ(MountVault("OldPass", 0), 0);
    EXPECT_EQ(MountVault("newpass", 0), 1);
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);

    testing::internal::CaptureStderr();
    EXPECT_EQ(m_ChangePwd(Wide("T"), Wide("Whatever")), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "T: 系统找不到指定的文件。\r\n");
}

TEST_F(MountTest, OnlyTheFirstCharacterOfADriveCounts)
{
    ASSERT_EQ(MountVault("pw", kSizeMb, "Sxyz"), 1);
    EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice0");
    EXPECT_EQ(m_UnMountEx(Wide("SZ"), 0), 1);
    EXPECT_EQ(DosDeviceTarget("S:"), "");
}

TEST_F(MountTest, ArgumentsThatCannotBeSentAreRefusedBeforeAnyRequest)
{
    struct Case {
        const char* label;
        const wchar_t* path;
        int size;
        const wchar_t* password;
        const wchar_t* drive;
    };
    const Wide path("C:\\autorun.inf\\vault.sec");
    const Wide sixteen("0123456789abcdef");
    const Wide pw("pw");
    const Wide s("S");
    const Wide empty("");
    const Case cases[] = {
        {"null_path", nullptr, kSizeMb, pw, s},
        {"null_password", path, kSizeMb, nullptr, s},
        {"null_drive", path, kSizeMb, pw, nullptr},
        {"empty_drive", path, kSizeMb, pw, empty},
        {"negative_size", path, -1, pw, s},
        {"sixteen_character_password", path, kSizeMb, sixteen, s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(m_MountEx(0, c.path, c.size, c.password, c.drive), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
        EXPECT_FALSE(korvel::test::HostFileExists(HostPath("autorun.inf/vault.sec")));
    }
    EXPECT_EQ(m_UnMountEx(nullptr, 0), 0);
    EXPECT_EQ(m_ChangePwd(nullptr, pw), 0);
    EXPECT_EQ(m_ChangePwd(s, nullptr), 0);
}

}  // namespace
