// Vaults that cross between Linux and Windows: run-wine-tests.sh makes one
// with korvel-vault on Linux, lets this program open it through the real
// control library and driver, has this program make one, checks and re-keys
// that one on Linux, and runs this program again to open it. What to do
// comes from the environment; without it the tests skip.
#include "pellix_binding.h"

#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <string>

namespace {

using namespace wt;

std::wstring Environment(const wchar_t* name)
{
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? value : L"";
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(std::towupper(c));
    }
    return text;
}

class LinuxCross : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Pellix().Complete()) << "the library or one of its exports is missing";
        ASSERT_TRUE(RemoveDriverService());
        ASSERT_EQ(Pellix().Install(kServiceName, kDriverPath, SERVICE_AUTO_START), 1);
    }
    void TearDown() override
    {
        Close();
        Pellix().UnInstall();
        RemoveDriverService();
    }

    // As the other Wine tests close S:, since Wine's volume layer does not
    // pass the dismount to a file system.
    static void Close()
    {
        if (Pellix().UnMountEx(L"S", 1) != 1) {
            EnsureUnmounted(0);
            ForgetDosName(L"S:");
        }
    }
};

TEST_F(LinuxCross, FirstAVaultMadeOnLinuxOpensHereWithItsPasswordInCapitals)
{
    const std::wstring path = Environment(L"KORVEL_LINUX_VAULT");
    const std::wstring password = Environment(L"KORVEL_LINUX_VAULT_PASSWORD");
    if (path.empty()) {
        GTEST_SKIP() << "no vault was made on Linux for this run";
    }
    ASSERT_EQ(Pellix().MountEx(0, path.c_str(), 0, Upper(password).c_str(), L"S"), 1);
    Handle volume = OpenDevice(L"\\\\.\\S:");
    ASSERT_TRUE(volume.Valid()) << GetLastError();
    AlignedBuffer sector(512);
    ASSERT_TRUE(Succeeds(ReadAt(volume.Get(), 0, sector.Data(), 512)));
    EXPECT_EQ(std::memcmp(sector.Data() + 3, "NTFS    ", 8), 0) << "the first sector is an NTFS boot sector";
    EXPECT_EQ(sector.Data()[510], 0x55);
    EXPECT_EQ(sector.Data()[511], 0xAA);
}

TEST_F(LinuxCross, FirstMakeAVaultForLinux)
{
    const std::wstring path = Environment(L"KORVEL_WINE_VAULT");
    const std::wstring password = Environment(L"KORVEL_WINE_VAULT_PASSWORD");
    if (path.empty()) {
        GTEST_SKIP() << "no vault is asked for by Linux in this run";
    }
    RemoveFile(path);
    ASSERT_EQ(Pellix().MountEx(0, path.c_str(), 4, password.c_str(), L"S"), 1);
}

TEST_F(LinuxCross, ThenTheVaultReKeyedOnLinuxOpensWithTheNewPasswordOnly)
{
    const std::wstring path = Environment(L"KORVEL_WINE_VAULT");
    const std::wstring old = Environment(L"KORVEL_WINE_VAULT_PASSWORD");
    const std::wstring fresh = Environment(L"KORVEL_REKEYED_PASSWORD");
    if (path.empty() || fresh.empty()) {
        GTEST_SKIP() << "no vault was re-keyed on Linux for this run";
    }
    EXPECT_EQ(Pellix().MountEx(0, path.c_str(), 0, old.c_str(), L"S"), 0);
    ASSERT_EQ(Pellix().MountEx(0, path.c_str(), 0, fresh.c_str(), L"S"), 1);
}

TEST_F(LinuxCross, WhileMountedOnLinuxTheVaultIsRefusedHere)
{
    const std::wstring path = Environment(L"KORVEL_HELD_VAULT");
    const std::wstring password = Environment(L"KORVEL_HELD_VAULT_PASSWORD");
    if (path.empty()) {
        GTEST_SKIP() << "no vault is mounted on Linux for this run";
    }
    EXPECT_EQ(Pellix().MountEx(0, path.c_str(), 0, password.c_str(), L"S"), 0);
    EXPECT_FALSE(OpenDevice(L"\\\\.\\S:").Valid()) << "S: must not come up";
}

}  // namespace
