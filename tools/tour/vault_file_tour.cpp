// A short tour of a vault file's life, run on the host: the driver's own
// vault code over the host kernel's file calls, on a scratch drive C:.
//
// Usage: vault_file_tour <scratch folder>
#include "vault_image.h"

#include <host/drive_table.h>
#include <host/test_hooks.h>
#include <host/utf16.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int g_Step = 0;
int g_Failures = 0;

void Step(const std::string& what)
{
    std::printf("\n%d. %s\n", ++g_Step, what.c_str());
}

void Result(bool asExpected, const std::string& what)
{
    std::printf("   %s %s\n", asExpected ? "[ok]    " : "[FAILED]", what.c_str());
    if (!asExpected) {
        ++g_Failures;
    }
}

std::string StatusText(NTSTATUS status)
{
    switch (status) {
    case STATUS_SUCCESS:
        return "STATUS_SUCCESS";
    case STATUS_INVALID_PARAMETER:
        return "STATUS_INVALID_PARAMETER";
    case STATUS_NO_MEDIA_IN_DEVICE:
        return "STATUS_NO_MEDIA_IN_DEVICE";
    default: {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
        return text;
    }
    }
}

struct PasswordField {
    explicit PasswordField(const std::string& text)
    {
        std::memset(bytes, 0, sizeof bytes);
        const std::u16string units = host::Utf8ToUtf16(text);
        std::memcpy(bytes, units.data(), units.size() * sizeof(char16_t));
    }
    VaultImage::PasswordField bytes;
};

std::u16string NtPath(const std::string& dosPath)
{
    return host::Utf8ToUtf16("\\??\\" + dosPath);
}

const wchar_t* Wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::vector<unsigned char> ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void HexDump(const std::vector<unsigned char>& bytes, std::size_t from, std::size_t count)
{
    for (std::size_t row = from; row < from + count && row < bytes.size(); row += 16) {
        std::printf("   %06zx ", row);
        for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) {
            std::printf(" %02X", bytes[i]);
        }
        std::printf("\n");
    }
}

NTSTATUS Mount(VaultImage& image, const std::u16string& path, const std::string& password, ULONGLONG size)
{
    PasswordField field(password);
    return image.Mount(Wide(path), field.bytes, size);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <scratch folder>\n", argv[0]);
        return 2;
    }
    const std::string root = std::filesystem::absolute(argv[1]).string();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root + "/autorun.inf");
    host::MapDrive('C', host::Drive{root, host::DriveType::Fixed, std::nullopt});

    const std::string dosPath = "C:\\autorun.inf\\MyVault.sec";
    const std::string hostPath = root + "/autorun.inf/MyVault.sec";
    const std::u16string path = NtPath(dosPath);
    constexpr ULONGLONG kDiskSize = 8 * 1024 * 1024;

    std::printf("Korvel vault file tour (host build; drive C: is %s)\n", root.c_str());

    VaultImage image;
    Step("Create the vault " + dosPath + " of 8 MB with the password \"Korvel2026\"");
    NTSTATUS status = Mount(image, path, "Korvel2026", kDiskSize);
    Result(status == STATUS_SUCCESS, "Mount: " + StatusText(status) + ", disk size " +
                                         std::to_string(image.DiskSize()) + " bytes");
    status = image.Unmount();
    Result(status == STATUS_SUCCESS, "Close: " + StatusText(status));

    Step("Look at the file's header block");
    const auto bytes = ReadFileBytes(hostPath);
    Result(bytes.size() == kDiskSize + 1024, "file length " + std::to_string(bytes.size()) + " = disk size + 1024");
    std::printf("   bytes 512-575 (the scrambled password, then zeros):\n");
    HexDump(bytes, 512, 64);
    PasswordField expected("Korvel2026");
    VaultImage::EncodePassword(expected.bytes);
    Result(bytes.size() > 544 && std::memcmp(bytes.data() + 512, expected.bytes, 32) == 0,
           "the 32 bytes at 512 are the scrambled password; it does not stand in the file as plain text");

    Step("Open it with a wrong password \"korvel2025\"");
    status = Mount(image, path, "korvel2025", 0);
    Result(status == STATUS_INVALID_PARAMETER && !image.IsMounted(), "refused: " + StatusText(status));

    Step("Open it with the right password typed as \"KORVEL2026\"");
    status = Mount(image, path, "KORVEL2026", 0);
    Result(status == STATUS_SUCCESS && image.IsMounted(),
           "accepted: " + StatusText(status) + ", disk size " + std::to_string(image.DiskSize()) + " bytes");

    Step("Write a sector at disk offset 4096 and read it back");
    std::vector<unsigned char> sector(512, 0);
    const char message[] = "Hello from inside the vault";
    std::memcpy(sector.data(), message, sizeof message);
    ULONG_PTR count = 0;
    status = image.WriteData(4096, 512, sector.data(), count);
    Result(status == STATUS_SUCCESS && count == 512, "write: " + StatusText(status) + ", " + std::to_string(count) +
                                                         " bytes");
    std::vector<unsigned char> back(512, 0xEE);
    status = image.ReadData(4096, 512, back.data(), count);
    Result(status == STATUS_SUCCESS && back == sector,
           "read: " + StatusText(status) + ", \"" + reinterpret_cast<const char*>(back.data()) + "\"");
    const auto fileNow = ReadFileBytes(hostPath);
    Result(fileNow.size() > 5120 + sizeof message && std::memcmp(fileNow.data() + 5120, message, sizeof message) == 0,
           "the file holds it at offset 4096 + 1024 = 5120, in the clear");

    Step("Change the password to \"NewSecret1\"");
    PasswordField fresh("NewSecret1");
    status = image.ChangePassword(fresh.bytes);
    Result(status == STATUS_SUCCESS, "change: " + StatusText(status));
    status = image.Unmount();
    Result(status == STATUS_SUCCESS, "close: " + StatusText(status));

    Step("Open it again with the old and then the new password");
    status = Mount(image, path, "Korvel2026", 0);
    Result(status == STATUS_INVALID_PARAMETER, "old password refused: " + StatusText(status));
    status = Mount(image, path, "newsecret1", 0);
    Result(status == STATUS_SUCCESS, "new password accepted: " + StatusText(status));
    status = image.ReadData(4096, 512, back.data(), count);
    Result(status == STATUS_SUCCESS && back == sector, "the data is still there");
    status = image.Unmount();
    Result(status == STATUS_SUCCESS, "close: " + StatusText(status));

    std::printf("\nDriver trace of the tour:\n%s", host::DebugOutput().c_str());
    std::printf("\n%s: %d step(s), %d failure(s)\n", g_Failures == 0 ? "TOUR PASSED" : "TOUR FAILED", g_Step,
                g_Failures);
    return g_Failures == 0 ? 0 : 1;
}
