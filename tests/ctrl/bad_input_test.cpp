// Bad input through the library's exports and the driver's private
// requests, against a vault file that exists: every refusal gives its error
// and leaves the vault file's bytes and length exactly as they were, and no
// password (nor its length) shows in the driver's trace or the library's
// report lines.
#include "pellix_fixture.h"
#include "support/open_request.h"

#include "vantor_ioctl.h"

#include <host/kernel_io.h>
#include <host/test_hooks.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <regex>
#include <string_view>

namespace {

using korvel::test::OpenRequest;
using korvel::test::PellixTest;
using korvel::test::ReadHostFile;
using korvel::test::Sectors;
using korvel::test::Wide;

constexpr const char* kVault = "C:\\autorun.inf\\vault.sec";
constexpr const char* kVaultHost = "autorun.inf/vault.sec";
// Fifteen characters, the most a password field holds.
constexpr const char* kPassword = "Kx7Qm2Wp9Rt4Zv8";
constexpr int kSizeMb = 1;
constexpr const char* kDriverRefused = "PlainDisk: 参数错误。\r\n";

// What a file is on the disk: enough to tell any change of it.
struct FileState {
    bool exists = false;
    bool folder = false;
    std::size_t length = 0;
    std::size_t hash = 0;  // over every byte

    bool operator==(const FileState& other) const
    {
        return exists == other.exists && folder == other.folder && length == other.length && hash == other.hash;
    }
};

void PrintTo(const FileState& state, std::ostream* out)
{
    if (!state.exists) {
        *out << "no file";
    } else if (state.folder) {
        *out << "a folder";
    } else {
        *out << state.length << " bytes, hash " << std::hex << state.hash << std::dec;
    }
}

// The file's bytes in one read: the checks run after every case, also
// under the sanitizers, where a byte-by-byte loop would be slow.
std::string WholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

HANDLE OpenForControl(const std::string& path)
{
    return CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
}

// A request sent as the library would send it: the result, and the last
// error when it failed.
struct Answer {
    bool ok;
    DWORD error;
};

Answer Control(const std::string& path, DWORD code, const void* input, DWORD length)
{
    HANDLE handle = OpenForControl(path);
    if (handle == INVALID_HANDLE_VALUE) {
        return {false, GetLastError()};
    }
    DWORD returned = 0;
    const bool ok = DeviceIoControl(handle, code, const_cast<void*>(input), length, nullptr, 0, &returned, nullptr);
    const DWORD error = ok ? 0 : GetLastError();
    CloseHandle(handle);
    return {ok, error};
}

// Every spelling of `text` in upper- and lower-case letters, `text` itself
// first. Only A-Z fold for certain; other characters stay as they are.
std::vector<std::string> LetterCaseVariants(const std::string& text)
{
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (std::isalpha(static_cast<unsigned char>(text[i]))) {
            letters.push_back(i);
        }
    }
    std::vector<std::string> variants;
    for (unsigned mask = 0; mask < (1u << letters.size()); ++mask) {
        std::string variant = text;
        for (std::size_t bit = 0; bit < letters.size(); ++bit) {
            if (mask & (1u << bit)) {
                char& c = variant[letters[bit]];
                c = std::isupper(static_cast<unsigned char>(c)) ? char(std::tolower(c)) : char(std::toupper(c));
            }
        }
        variants.push_back(variant);
    }
    return variants;
}

class BadInputTest : public PellixTest {
protected:
    void SetUp() override
    {
        PellixTest::SetUp();
        ASSERT_EQ(Install(), 1);
        std::filesystem::create_directories(HostPath("autorun.inf"));
        MakeVault(kVault, kPassword);
        m_Before = State(kVaultHost);
        ASSERT_EQ(m_Before.length, (std::size_t(kSizeMb) << 20) + 1024);
    }

    // A vault whose data area is not all zero, so that a lost or moved byte
    // anywhere shows in its hash.
    void MakeVault(const char* path, const std::string& password)
    {
        ASSERT_EQ(m_MountEx(0, Wide(path), kSizeMb, Wide(password), Wide("S")), 1);
        HANDLE volume = OpenForControl("\\\\.\\S:");
        ASSERT_NE(volume, INVALID_HANDLE_VALUE);
        auto data = Sectors(16, 0);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = std::uint8_t(i * 7 + 3);
        }
        DWORD done = 0;
        EXPECT_TRUE(WriteFile(volume, data.data(), DWORD(data.size()), &done, nullptr));
        CloseHandle(volume);
        ASSERT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    }

    FileState State(const std::string& relative) const
    {
        FileState state;
        const std::string path = HostPath(relative);
        std::error_code ignored;
        state.exists = std::filesystem::exists(path, ignored);
        state.folder = std::filesystem::is_directory(path, ignored);
        if (state.exists && !state.folder) {
            const std::string bytes = WholeFile(path);
            state.length = bytes.size();
            state.hash = std::hash<std::string_view>{}(bytes);
        }
        return state;
    }

    int MountVault(const std::string& password, DWORD unit = 0, const char* drive = "S", int sizeMb = 0,
                   const char* path = kVault)
    {
        return m_MountEx(unit, Wide(path), sizeMb, Wide(password), Wide(drive));
    }

    // The unit serves no vault: its queries answer that no medium is in.
    static bool UnitFree(unsigned unit)
    {
        GET_LENGTH_INFORMATION length{};
        HANDLE device = OpenForControl("\\\\.\\VantorDevice" + std::to_string(unit));
        if (device == INVALID_HANDLE_VALUE) {
            return false;
        }
        DWORD done = 0;
        const bool answered =
            DeviceIoControl(device, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done, nullptr);
        const DWORD error = GetLastError();
        CloseHandle(device);
        return !answered && error == ERROR_NOT_READY;
    }

    // The vault on S: answers with the data written at set-up.
    bool ServedAsS()
    {
        HANDLE volume = OpenForControl("\\\\.\\S:");
        if (volume == INVALID_HANDLE_VALUE) {
            return false;
        }
        auto back = Sectors(1, 0);
        DWORD done = 0;
        const bool read = ReadFile(volume, back.data(), DWORD(back.size()), &done, nullptr);
        CloseHandle(volume);
        return read && done == 512 && back[1] == 10 && back[511] == std::uint8_t(511 * 7 + 3);
    }

    FileState m_Before;
};

// An export called with what a client should never pass.
struct ExportCase {
    const char* label;
    std::function<int()> call;
    DWORD error;         // the last error after the refusal
    const char* report;  // what the library writes to standard error
};

void ExpectRefusal(const ExportCase& c)
{
    SetLastError(0);
    testing::internal::CaptureStderr();
    const int result = c.call();
    const DWORD error = GetLastError();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.report);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(error, c.error);
}

TEST_F(BadInputTest, RefusedMountsLeaveTheVaultAsItWas)
{
    const std::string overLongPath = kVault + std::string(252 - std::strlen(kVault), 'x');
    const std::string overLongPlainPath = kVault + std::string(255 - std::strlen(kVault), 'x');
    // The stored password and one more character: a library that cut it to
    // the field would open the vault.
    const std::string sixteen = std::string(kPassword) + "Q";
    const std::string huge(4000, 'K');
    const Wide vault(kVault);
    const Wide pw(kPassword);
    const Wide s("S");
    const Wide empty("");
    const ExportCase cases[] = {
        {"null_path", [&] { return m_MountEx(0, nullptr, 0, pw, s); }, ERROR_INVALID_PARAMETER, ""},
        {"null_password", [&] { return m_MountEx(0, vault, 0, nullptr, s); }, ERROR_INVALID_PARAMETER, ""},
        {"null_drive", [&] { return m_MountEx(0, vault, 0, pw, nullptr); }, ERROR_INVALID_PARAMETER, ""},
        {"empty_drive", [&] { return m_MountEx(0, vault, 0, pw, empty); }, ERROR_INVALID_PARAMETER, ""},
        {"over_long_path", [&] { return m_MountEx(0, Wide(overLongPath), 0, pw, s); }, ERROR_INVALID_PARAMETER, ""},
        {"password_one_over_the_field", [&] { return MountVault(sixteen); }, ERROR_INVALID_PARAMETER, ""},
        {"password_far_over_the_field", [&] { return MountVault(huge); }, ERROR_INVALID_PARAMETER, ""},
        {"size_minus_one", [&] { return m_MountEx(0, vault, -1, pw, s); }, ERROR_INVALID_PARAMETER, ""},
        {"size_most_negative", [&] { return m_MountEx(0, vault, INT_MIN, pw, s); }, ERROR_INVALID_PARAMETER, ""},
        // The driver is asked, and finds no file by that name.
        {"empty_path", [&] { return m_MountEx(0, empty, 0, pw, s); }, ERROR_INVALID_PARAMETER, kDriverRefused},
        {"wrong_password", [&] { return MountVault("Kx7Qm2Wp9Rt4Zv9"); }, ERROR_INVALID_PARAMETER, kDriverRefused},
        {"empty_password", [&] { return MountVault(""); }, ERROR_INVALID_PARAMETER, kDriverRefused},
        // The plain driver's exports refuse the same arguments.
        {"plain_null_path", [&] { return m_Mount(0, nullptr, 0, s); }, ERROR_INVALID_PARAMETER, ""},
        {"plain_null_drive", [&] { return m_Mount(0, vault, 0, nullptr); }, ERROR_INVALID_PARAMETER, ""},
        {"plain_negative_size", [&] { return m_Mount(0, vault, -1, s); }, ERROR_INVALID_PARAMETER, ""},
        {"plain_over_long_path", [&] { return m_Mount(0, Wide(overLongPlainPath), 0, s); }, ERROR_INVALID_PARAMETER,
         ""},
        {"plain_unmount_null_drive", [&] { return m_UnMount(nullptr, 0); }, ERROR_INVALID_PARAMETER, ""},
    };
    for (const ExportCase& c : cases) {
        SCOPED_TRACE(c.label);
        ExpectRefusal(c);
        EXPECT_EQ(State(kVaultHost), m_Before);
        EXPECT_TRUE(VaultFileClosed("autorun.inf\\vault.sec"));
        EXPECT_TRUE(UnitFree(0));
        EXPECT_EQ(DosDeviceTarget("S:"), "");
    }
    // Nothing of the refused calls stays in the way of the right one.
    ASSERT_EQ(MountVault(kPassword), 1);
    EXPECT_TRUE(ServedAsS());
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    EXPECT_EQ(State(kVaultHost), m_Before) << "a mount without writes changes nothing";
}

TEST_F(BadInputTest, DrivesThatAreNoLettersAreRefusedBeforeAnyRequest)
{
    const Wide vault(kVault);
    const Wide pw(kPassword);
    const char* const drives[] = {"1", "?", "\\", ":", " ", "*", "中", "\t"};
    for (const char* drive : drives) {
        SCOPED_TRACE(std::string("drive \"") + drive + "\"");
        const Wide wide(drive);
        const std::string name = std::string(drive) + ":";
        const ExportCase cases[] = {
            {"mount", [&] { return m_MountEx(0, vault, 0, pw, wide); }, ERROR_INVALID_PARAMETER, ""},
            {"plain_mount", [&] { return m_Mount(0, vault, 0, wide); }, ERROR_INVALID_PARAMETER, ""},
            {"unmount", [&] { return m_UnMountEx(wide, 1); }, ERROR_INVALID_PARAMETER, ""},
            {"plain_unmount", [&] { return m_UnMount(wide, 1); }, ERROR_INVALID_PARAMETER, ""},
            {"change_password", [&] { return m_ChangePwd(wide, pw); }, ERROR_INVALID_PARAMETER, ""},
        };
        for (const ExportCase& c : cases) {
            SCOPED_TRACE(c.label);
            ExpectRefusal(c);
            EXPECT_EQ(DosDeviceTarget(name.c_str()), "") << "no name was defined for it";
            EXPECT_TRUE(UnitFree(0)) << "nothing reached the driver";
            EXPECT_EQ(State(kVaultHost), m_Before);
        }
    }
    EXPECT_TRUE(VaultFileClosed("autorun.inf\\vault.sec"));
}

TEST_F(BadInputTest, RefusalsWhileMountedLeaveTheVaultServedAndAsItWas)
{
    ASSERT_EQ(MountVault(kPassword), 1);
    const std::string sixteen = std::string("NewPass") + "123456789";
    const Wide vault(kVault);
    const Wide pw(kPassword);
    const Wide s("S");
    const Wide empty("");
    const ExportCase cases[] = {
        {"change_null_drive", [&] { return m_ChangePwd(nullptr, Wide("NewPass")); }, ERROR_INVALID_PARAMETER, ""},
        {"change_null_password", [&] { return m_ChangePwd(s, nullptr); }, ERROR_INVALID_PARAMETER, ""},
        {"change_empty_drive", [&] { return m_ChangePwd(empty, Wide("NewPass")); }, ERROR_INVALID_PARAMETER, ""},
        {"change_password_over_the_field", [&] { return m_ChangePwd(s, Wide(sixteen)); }, ERROR_INVALID_PARAMETER,
         ""},
        {"change_password_far_over_the_field", [&] { return m_ChangePwd(s, Wide(std::string(4000, 'N'))); },
         ERROR_INVALID_PARAMETER, ""},
        {"change_on_an_unmounted_letter", [&] { return m_ChangePwd(Wide("T"), Wide("NewPass")); },
         ERROR_FILE_NOT_FOUND, "T: 系统找不到指定的文件。\r\n"},
        {"unmount_null_drive", [&] { return m_UnMountEx(nullptr, 0); }, ERROR_INVALID_PARAMETER, ""},
        {"unmount_empty_drive", [&] { return m_UnMountEx(empty, 1); }, ERROR_INVALID_PARAMETER, ""},
        {"unmount_an_unmounted_letter", [&] { return m_UnMountEx(Wide("T"), 1); }, ERROR_FILE_NOT_FOUND,
         "T: 系统找不到指定的文件。\r\n"},
        // The letter is taken: nothing reaches the driver.
        {"mount_again_on_s", [&] { return MountVault(kPassword, 1); }, ERROR_BUSY, "S: 请求的资源在使用中。\r\n"},
        // Unit 1 would have to open the file unit 0 holds unshared.
        {"second_unit", [&] { return MountVault(kPassword, 1, "T"); }, ERROR_INVALID_PARAMETER, kDriverRefused},
        // Unit 0 serves a vault already.
        {"same_unit_other_letter", [&] { return MountVault(kPassword, 0, "T"); }, ERROR_INVALID_FUNCTION,
         "PlainDisk: 函数不正确。\r\n"},
    };
    for (const ExportCase& c : cases) {
        SCOPED_TRACE(c.label);
        ExpectRefusal(c);
        EXPECT_EQ(State(kVaultHost), m_Before);
        EXPECT_EQ(DosDeviceTarget("S:"), "\\Device\\VantorDevice0");
        EXPECT_EQ(DosDeviceTarget("T:"), "");
        EXPECT_TRUE(ServedAsS());
        EXPECT_TRUE(UnitFree(1));
    }
    ASSERT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    EXPECT_EQ(State(kVaultHost), m_Before);
    // The password is still the one it was.
    EXPECT_EQ(MountVault(kPassword), 1);
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
}

// The vault file itself in a state no vault should be opened from, or held
// by someone else.
TEST_F(BadInputTest, UnusableVaultFilesAreRefusedAndLeftAsTheyWere)
{
    const auto vaultBytes = ReadHostFile(HostPath(kVaultHost));
    auto cut = [&](std::size_t length) {
        return std::vector<std::uint8_t>(vaultBytes.begin(), vaultBytes.begin() + std::ptrdiff_t(length));
    };
    HANDLE held = INVALID_HANDLE_VALUE;
    auto hold = [&](DWORD share) {
        held = CreateFileW(Wide(kVault), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    };
    auto release = [&] {
        CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    };
    struct Case {
        const char* label;
        std::function<void()> prepare;
        std::function<void()> undo;
        bool mountsWithItsPassword;
    };
    const Case cases[] = {
        // Cut inside the data area, off a sector boundary: still a vault,
        // of the length that is left.
        {"cut_in_the_data_area", [&] { korvel::test::WriteHostFile(HostPath(kVaultHost), cut(1024 + 8 * 512 + 100)); },
         nullptr, true},
        {"cut_to_the_header", [&] { korvel::test::WriteHostFile(HostPath(kVaultHost), cut(1024)); }, nullptr, true},
        // Too short to hold a data area, though the password is all there.
        {"shorter_than_1024", [&] { korvel::test::WriteHostFile(HostPath(kVaultHost), cut(1023)); }, nullptr, false},
        {"cut_inside_the_password", [&] { korvel::test::WriteHostFile(HostPath(kVaultHost), cut(530)); }, nullptr,
         false},
        {"cut_before_the_header", [&] { korvel::test::WriteHostFile(HostPath(kVaultHost), cut(512)); }, nullptr,
         false},
        {"empty", [&] { korvel::test::WriteHostFile(HostPath(kVaultHost), {}); }, nullptr, false},
        {"a_folder_in_its_place",
         [&] {
             std::filesystem::remove(HostPath(kVaultHost));
             std::filesystem::create_directory(HostPath(kVaultHost));
         },
         nullptr, false},
        {"held_unshared", [&] { hold(0); }, release, false},
        // The driver shares with nobody, so even a fully shared open keeps it out.
        {"held_shared", [&] { hold(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE); }, release, false},
        {"read_only",
         [&] { ASSERT_TRUE(SetFileAttributesW(Wide(kVault), FILE_ATTRIBUTE_READONLY)); },
         [&] { ASSERT_TRUE(SetFileAttributesW(Wide(kVault), FILE_ATTRIBUTE_NORMAL)); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        // Each case starts from the vault as made.
        std::filesystem::remove_all(HostPath(kVaultHost));
        korvel::test::WriteHostFile(HostPath(kVaultHost), vaultBytes);
        c.prepare();
        const FileState before = State(kVaultHost);

        // A wrong password, and the right one, each with a size that would
        // make a new vault if one were made.
        for (const std::string password : {"wrong", kPassword}) {
            const bool mounts = c.mountsWithItsPassword && password == kPassword;
            testing::internal::CaptureStderr();
            EXPECT_EQ(MountVault(password, 0, "S", kSizeMb), mounts ? 1 : 0);
            EXPECT_EQ(testing::internal::GetCapturedStderr(), mounts ? "" : kDriverRefused);
            EXPECT_EQ(State(kVaultHost), before);
            if (mounts) {
                // Its disk is what is left after the header.
                HANDLE volume = OpenForControl("\\\\.\\S:");
                GET_LENGTH_INFORMATION length{};
                DWORD done = 0;
                EXPECT_TRUE(DeviceIoControl(volume, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length,
                                            &done, nullptr));
                EXPECT_EQ(std::size_t(length.Length.QuadPart), before.length - 1024);
                CloseHandle(volume);
                EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
            } else {
                EXPECT_EQ(DosDeviceTarget("S:"), "");
                EXPECT_TRUE(UnitFree(0));
            }
            EXPECT_EQ(State(kVaultHost), before);
        }
        if (c.undo) {
            c.undo();
        }
        if (!before.folder) {
            EXPECT_TRUE(VaultFileClosed("autorun.inf\\vault.sec"));
        }
    }
}

TEST_F(BadInputTest, ASizeOfZeroForAMissingFileMakesAnEmptyDisk)
{
    // The size is used only when the file is made; 0 asks for no data area.
    ASSERT_EQ(MountVault(kPassword, 0, "S", 0, "C:\\autorun.inf\\missing.sec"), 1);
    HANDLE volume = OpenForControl("\\\\.\\S:");
    GET_LENGTH_INFORMATION length{};
    DWORD done = 0;
    EXPECT_TRUE(
        DeviceIoControl(volume, IOCTL_DISK_GET_LENGTH_INFO, nullptr, 0, &length, sizeof length, &done, nullptr));
    EXPECT_EQ(length.Length.QuadPart, 0);
    auto sector = Sectors(1, 0x55);
    EXPECT_FALSE(WriteFile(volume, sector.data(), 512, &done, nullptr)) << "there is no sector to write";
    CloseHandle(volume);
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    EXPECT_EQ(State("autorun.inf/missing.sec").length, 1024u);
    EXPECT_EQ(State(kVaultHost), m_Before) << "the other vault is untouched";
}

TEST_F(BadInputTest, WrongPasswordsAreRefusedInEveryLetterCaseAndTheRightOneIsNot)
{
    // A vault of its own, with a password short enough to spell every way.
    const char* const kCasePath = "C:\\autorun.inf\\case.sec";
    MakeVault(kCasePath, "aBc7dE");
    const FileState before = State("autorun.inf/case.sec");

    struct Case {
        const char* label;
        const char* password;
        bool matches;
    };
    const Case cases[] = {
        // Letter case does not matter, by design: every spelling opens it.
        {"right", "aBc7dE", true},
        {"last_letter_changed", "aBc7dF", false},
        {"digit_changed", "aBc8dE", false},
        {"one_short", "aBc7d", false},
        {"one_more", "aBc7dEe", false},
        {"blank_after", "aBc7dE ", false},
        {"blank_before", " aBc7dE", false},
        {"letters_swapped", "Bac7dE", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto variants = LetterCaseVariants(c.password);
        for (std::size_t v = 0; v < variants.size(); ++v) {
            SCOPED_TRACE("spelling " + std::to_string(v));
            testing::internal::CaptureStderr();
            const int result = MountVault(variants[v], 0, "S", kSizeMb, kCasePath);
            const std::string report = testing::internal::GetCapturedStderr();
            EXPECT_EQ(result, c.matches ? 1 : 0);
            EXPECT_EQ(report, c.matches ? "" : kDriverRefused);
            if (result == 1) {
                EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
            }
            EXPECT_EQ(State("autorun.inf/case.sec"), before);
        }
    }
    EXPECT_TRUE(UnitFree(0));
}

// The records as they reach the driver, built by hand where the library
// would never build them so.
TEST_F(BadInputTest, RecordsTheDriverCannotReadAreRefusedAndLeaveTheVaultAsItWas)
{
    const std::string ntVault = std::string("\\??\\") + kVault;
    // The vault's own path, but no terminator anywhere in the field.
    OPENDISKFILE_INFO endlessName = OpenRequest(ntVault, kPassword, 0);
    for (std::size_t i = ntVault.size(); i < std::size(endlessName.FileName); ++i) {
        endlessName.FileName[i] = L'x';
    }
    // The stored password and one more character filling the field.
    OPENDISKFILE_INFO endlessPassword = OpenRequest(ntVault, std::string(kPassword) + "Q", 0);
    OPENDISKFILE_INFO right = OpenRequest(ntVault, kPassword, 0);
    OPENDISKFILE_INFO wrong = OpenRequest(ntVault, "kx7qm2wp9rt4zv", 0);
    OPENDISKFILE_INFO wrongNegative = OpenRequest(ntVault, "wrong", -1);
    std::vector<std::uint8_t> longer(sizeof right + 1, 0);
    std::memcpy(longer.data(), &right, sizeof right);

    struct Case {
        const char* label;
        const void* record;
        DWORD length;
        DWORD error;
    };
    const Case cases[] = {
        {"name_without_terminator", &endlessName, sizeof endlessName, ERROR_INVALID_PARAMETER},
        {"password_without_terminator", &endlessPassword, sizeof endlessPassword, ERROR_INVALID_PARAMETER},
        {"wrong_password", &wrong, sizeof wrong, ERROR_INVALID_PARAMETER},
        {"wrong_password_negative_size", &wrongNegative, sizeof wrongNegative, ERROR_INVALID_PARAMETER},
        {"one_byte_short", &right, sizeof right - 1, ERROR_INVALID_PARAMETER},
        {"one_byte_over", longer.data(), DWORD(longer.size()), ERROR_INVALID_PARAMETER},
        {"no_record", nullptr, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const Answer answer = Control("\\\\.\\VantorDevice0", IOCTL_OPENDISKFILE, c.record, c.length);
        EXPECT_FALSE(answer.ok);
        EXPECT_EQ(answer.error, c.error);
        EXPECT_TRUE(UnitFree(0));
        EXPECT_EQ(State(kVaultHost), m_Before);
    }

    // A negative size is not looked at for a file that exists.
    OPENDISKFILE_INFO rightNegative = OpenRequest(ntVault, kPassword, -1);
    ASSERT_TRUE(Control("\\\\.\\VantorDevice0", IOCTL_OPENDISKFILE, &rightNegative, sizeof rightNegative).ok);
    EXPECT_EQ(State(kVaultHost), m_Before);
    ASSERT_TRUE(DefineDosDeviceW(DDD_RAW_TARGET_PATH, Wide("S:"), Wide("\\Device\\VantorDevice0")));

    // New passwords the driver cannot store, sent to the mounted volume.
    NewPassword endless;
    for (auto& unit : endless.Password) {
        unit = L'N';
    }
    NewPassword good{};
    std::memcpy(good.Password, L"NewPass", 7 * sizeof(wchar_t));
    std::vector<std::uint8_t> over(sizeof good + 1, 0);
    std::memcpy(over.data(), &good, sizeof good);
    const Case changes[] = {
        {"new_password_without_terminator", &endless, sizeof endless, ERROR_INVALID_PARAMETER},
        {"new_password_one_byte_short", &good, sizeof good - 1, ERROR_INVALID_PARAMETER},
        {"new_password_one_byte_over", over.data(), DWORD(over.size()), ERROR_INVALID_PARAMETER},
        {"no_new_password", nullptr, 0, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : changes) {
        SCOPED_TRACE(c.label);
        const Answer answer = Control("\\\\.\\S:", IOCTL_CHANGEPWD, c.record, c.length);
        EXPECT_FALSE(answer.ok);
        EXPECT_EQ(answer.error, c.error);
        EXPECT_EQ(State(kVaultHost), m_Before);
        EXPECT_TRUE(ServedAsS());
    }
    ASSERT_EQ(m_UnMountEx(Wide("S"), 0), 1);
    EXPECT_EQ(State(kVaultHost), m_Before);
    EXPECT_EQ(MountVault(kPassword), 1) << "the stored password is unchanged";
    EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
}

// Everything a run leaves where someone could read it: the driver's trace,
// the library's report lines and whatever else reaches the standard streams.
struct Leftovers {
    std::string trace;
    std::string err;
    std::string out;
    std::string All() const { return trace + err + out; }
};

// Each form a password could take in a text: UTF-8, the ANSI code page and
// UTF-16 in either byte order, in its own spelling and folded either way.
std::vector<std::string> Forms(const std::string& password)
{
    std::vector<std::string> forms;
    std::string lower = password;
    std::string upper = password;
    for (char& c : lower) {
        c = char(std::tolower(static_cast<unsigned char>(c)));
    }
    for (char& c : upper) {
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    for (const std::string& spelling : {password, lower, upper}) {
        forms.push_back(spelling);
        const std::u16string wide = host::Utf8ToUtf16(spelling);
        std::string le;
        std::string be;
        for (char16_t unit : wide) {
            le += char(unit & 0xFF);
            le += char(unit >> 8);
            be += char(unit >> 8);
            be += char(unit & 0xFF);
        }
        forms.push_back(le);
        forms.push_back(be);
        char ansi[256] = {};
        const int bytes = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(wide.c_str()), -1, ansi,
                                              sizeof ansi, nullptr, nullptr);
        if (bytes > 1) {
            forms.emplace_back(ansi, std::size_t(bytes - 1));
        }
    }
    return forms;
}

class PasswordLeakTest : public BadInputTest {
protected:
    // Create, fail to open, open, change (also refused and on a wrong
    // letter), reopen with the new password: every road a password takes.
    Leftovers Run(const std::string& first, const std::string& wrong, const std::string& second,
                  const std::string& tooLong)
    {
        // The same vault name each run, so that only the passwords differ.
        const std::string path = "C:\\autorun.inf\\leak.sec";
        std::filesystem::remove(HostPath("autorun.inf/leak.sec"));
        host::ClearDebugOutput();
        host::EchoDebugOutput(true);
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(MountVault(first, 0, "S", kSizeMb, path.c_str()), 1);
        EXPECT_EQ(m_ChangePwd(Wide("S"), Wide(tooLong)), 0);
        EXPECT_EQ(m_ChangePwd(Wide("T"), Wide(second)), 0);
        EXPECT_EQ(m_ChangePwd(Wide("S"), Wide(second)), 1);
        EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
        EXPECT_EQ(MountVault(wrong, 0, "S", 0, path.c_str()), 0);
        EXPECT_EQ(MountVault(first, 0, "S", 0, path.c_str()), 0);
        EXPECT_EQ(MountVault(tooLong, 0, "S", 0, path.c_str()), 0);
        EXPECT_EQ(MountVault(second, 0, "S", 0, path.c_str()), 1);
        EXPECT_EQ(m_UnMountEx(Wide("S"), 0), 1);
        Leftovers left;
        left.out = testing::internal::GetCapturedStdout();
        left.err = testing::internal::GetCapturedStderr();
        host::EchoDebugOutput(false);
        left.trace = host::DebugOutput();
        return left;
    }
};

TEST_F(PasswordLeakTest, NoPasswordNorItsLengthShowsInTracesOrReports)
{
    struct Set {
        const char* label;
        const char* first;
        const char* wrong;
        const char* second;
        const char* tooLong;
    };
    const Set sets[] = {
        {"long", "Zephyr-Quill-71", "Marmot#Ledger", "Vortex!Plum", "Tundra$Falcon-8X"},
        {"short", "Qx", "Wy9", "保险柜口令", "Hexagram%Orchid42"},
    };
    std::vector<Leftovers> runs;
    for (const Set& set : sets) {
        SCOPED_TRACE(set.label);
        runs.push_back(Run(set.first, set.wrong, set.second, set.tooLong));
        const Leftovers& left = runs.back();
        // The run went where it should: the trace was written and the
        // failures were reported.
        EXPECT_NE(left.trace.find("IOCTL_CHANGEPWD_Handler"), std::string::npos);
        EXPECT_NE(left.err.find(kDriverRefused), std::string::npos);
        for (const char* password : {set.first, set.wrong, set.second, set.tooLong}) {
            for (const std::string& form : Forms(password)) {
                EXPECT_EQ(left.All().find(form), std::string::npos) << "a password shows in the output";
            }
        }
    }
    // Passwords of other lengths leave the same lines, up to the requests'
    // addresses: nothing tells how long a password was.
    const std::regex address("(IRP )(0x)?[0-9a-fA-F]+");
    for (auto& left : runs) {
        left.trace = std::regex_replace(left.trace, address, "$1<irp>");
        left.err = std::regex_replace(left.err, address, "$1<irp>");
    }
    EXPECT_EQ(runs[0].trace, runs[1].trace);
    EXPECT_EQ(runs[0].err, runs[1].err);
    EXPECT_EQ(runs[0].out, runs[1].out);
}

}  // namespace
