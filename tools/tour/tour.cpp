#include "tour.h"

#include "vantor_ioctl.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

int g_Step = 0;
int g_Failures = 0;

void Step(const std::string& what)
{
    std::printf("\n%d. %s\n", ++g_Step, what.c_str());
    std::fflush(stdout);
}

void Result(bool asExpected, const std::string& what)
{
    std::printf("   %s %s\n", asExpected ? "[ok]    " : "[FAILED]", what.c_str());
    std::fflush(stdout);
    if (!asExpected) {
        ++g_Failures;
    }
}

class Wide {
public:
    explicit Wide(const std::string& utf8) : m_Text(utf8.size() + 1, 0)
    {
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, m_Text.data(), int(m_Text.size()));
    }
    operator LPCWSTR() const { return m_Text.data(); }

private:
    std::vector<WCHAR> m_Text;
};

std::string Narrow(const WCHAR* text)
{
    char bytes[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes - 1, nullptr, nullptr);
    return bytes;
}

std::string DosDeviceTarget(const char* name)
{
    WCHAR targets[512];
    return QueryDosDeviceW(Wide(name), targets, 512) == 0 ? "(not defined)" : Narrow(targets);
}

// `length` bytes of a file from `offset`, or none.
std::vector<unsigned char> ReadFileBytes(const char* path, LONGLONG offset, DWORD length)
{
    std::vector<unsigned char> bytes(length);
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return {};
    }
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD done = 0;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !ReadFile(file, bytes.data(), length, &done, nullptr)) {
        done = 0;
    }
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

LONGLONG FileLength(const char* path)
{
    HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    LARGE_INTEGER size;
    size.QuadPart = -1;
    GetFileSizeEx(file, &size);
    CloseHandle(file);
    return size.QuadPart;
}

void HexDump(const std::vector<unsigned char>& bytes, std::size_t fileOffset)
{
    for (std::size_t row = 0; row < bytes.size(); row += 16) {
        std::printf("   %06x ", unsigned(fileOffset + row));
        for (std::size_t i = row; i < row + 16 && i < bytes.size(); ++i) {
            std::printf(" %02X", bytes[i]);
        }
        std::printf("\n");
    }
}

// Wine mounts no file system on S:, so the library's dismount request
// reaches the disk driver, which does not know it, and SysDiskUnMountEx
// fails. Under Wine the tour then closes the vault the way the library's
// later steps would: the driver's close request on \\.\S:, and the letter
// removed.
bool CloseVault(const PellixExports& pellix, const TourSetting& setting)
{
    const int result = pellix.unmountEx(Wide("S"), 0);
    if (result == 1 || !setting.wine) {
        Result(result == 1, "SysDiskUnMountEx(\"S\", 0): " + std::to_string(result) + "; S: is " +
                                DosDeviceTarget("S:"));
        return result == 1;
    }
    std::printf("   [Wine]   SysDiskUnMountEx(\"S\", 0): 0 -- Wine has no file system on S: to dismount, so\n"
                "            the dismount request went to the disk driver, which refused it.\n"
                "            Closing by hand: IOCTL_CLOSEDISKFILE on \\\\.\\S:, then the letter removed.\n");
    HANDLE volume = CreateFileW(Wide("\\\\.\\S:"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    DWORD done = 0;
    const bool closed = volume != INVALID_HANDLE_VALUE &&
                        DeviceIoControl(volume, IOCTL_CLOSEDISKFILE, nullptr, 0, nullptr, 0, &done, nullptr);
    if (volume != INVALID_HANDLE_VALUE) {
        CloseHandle(volume);
    }
    const bool removed = DefineDosDeviceW(DDD_REMOVE_DEFINITION, Wide("S:"), nullptr) != FALSE;
    Result(closed && removed, "closed by hand; S: is " + DosDeviceTarget("S:"));
    return closed && removed;
}

// Where the tour's sector goes: 64 KiB into the disk. Given with each
// transfer, which needs no file pointer (Wine keeps none for devices).
constexpr DWORD kTourSectorOffset = 64 * 1024;

OVERLAPPED DiskOffset(DWORD offset)
{
    OVERLAPPED at = {};
    at.Offset = offset;
    return at;
}

// Through the volume, at disk offset 64 KiB.
bool WriteThroughS(const std::vector<unsigned char>& sector)
{
    HANDLE volume = CreateFileW(Wide("\\\\.\\S:"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        return false;
    }
    OVERLAPPED at = DiskOffset(kTourSectorOffset);
    DWORD done = 0;
    const bool ok = WriteFile(volume, sector.data(), DWORD(sector.size()), &done, &at) && done == sector.size();
    CloseHandle(volume);
    return ok;
}

std::vector<unsigned char> ReadThroughS(std::size_t length, DWORD offset = kTourSectorOffset)
{
    std::vector<unsigned char> sector(length, 0);
    HANDLE volume = CreateFileW(Wide("\\\\.\\S:"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        return {};
    }
    OVERLAPPED at = DiskOffset(offset);
    DWORD done = 0;
    if (!ReadFile(volume, sector.data(), DWORD(sector.size()), &done, &at)) {
        sector.clear();
    }
    CloseHandle(volume);
    return sector;
}

std::string Upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        }
    }
    return text;
}

// The vault that korvel-vault made on Linux opens here with the Windows
// binaries, and its disk starts with the NTFS that mkntfs wrote.
void OpenTheLinuxVault(const PellixExports& pellix, const TourSetting& setting)
{
    const std::string password = Upper(setting.linuxPassword);
    Step("Open the vault made on Linux, " + setting.linuxVault + ", with its password typed as \"" + password + "\"");
    const int result = pellix.mountEx(0, Wide(setting.linuxVault), 0, Wide(password), Wide("S"));
    Result(result == 1, "SysDiskMountEx: " + std::to_string(result) + "; S: is " + DosDeviceTarget("S:"));
    const auto boot = ReadThroughS(512, 0);
    const bool ntfs = boot.size() == 512 && std::memcmp(boot.data() + 3, "NTFS    ", 8) == 0 && boot[510] == 0x55 &&
                      boot[511] == 0xAA;
    Result(ntfs, "the first sector of \\\\.\\S: is an NTFS boot sector (OEM id \"" +
                     (boot.size() == 512 ? std::string(reinterpret_cast<const char*>(boot.data()) + 3, 8) : "") +
                     "\", signature 55 AA)");
    CloseVault(pellix, setting);
}

}  // namespace

int RunTour(const PellixExports& pellix, const TourSetting& setting)
{
    std::printf("Korvel vault tour through Pellix, on %s\n", setting.where);
    const Wide vaultPath("C:\\autorun.inf\\MyVault.sec");
    const char* const vaultFile = "C:\\autorun.inf\\MyVault.sec";
    constexpr int kSizeMb = 8;

    Step("Install the driver service: SysDiskInstall(\"Vantor\", \"C:\\Software\\Vantor.dll\", 2)");
    int result = pellix.install(Wide("Vantor"), Wide("C:\\Software\\Vantor.dll"), SERVICE_AUTO_START);
    Result(result == 1, "result " + std::to_string(result) + "; the driver runs with units \\\\.\\VantorDevice0 and 1");
    if (!setting.linuxVault.empty()) {
        OpenTheLinuxVault(pellix, setting);
    }

    Step("Create the vault C:\\autorun.inf\\MyVault.sec of 8 MB with the password \"Korvel2026\" as S:");
    result = pellix.mountEx(0, vaultPath, kSizeMb, Wide("Korvel2026"), Wide("S"));
    Result(result == 1, "SysDiskMountEx: " + std::to_string(result) + "; S: is " + DosDeviceTarget("S:"));

    Step("Write a sector through \\\\.\\S: at disk offset 64 KiB and read it back");
    std::vector<unsigned char> sector(512, 0);
    const char message[] = "Hello from inside the vault";
    std::memcpy(sector.data(), message, sizeof message);
    Result(WriteThroughS(sector), "written");
    const auto back = ReadThroughS(sector.size());
    Result(back == sector, "read back: \"" + std::string(back.empty() ? "" : reinterpret_cast<const char*>(back.data())) +
                               "\"");

    Step("Close the vault: SysDiskUnMountEx(\"S\", 0)");
    CloseVault(pellix, setting);

    Step("Look at the vault file");
    const LONGLONG length = FileLength(vaultFile);
    Result(length == (LONGLONG(kSizeMb) << 20) + 1024, "length " + std::to_string(length) + " = 8 MB + 1024");
    std::printf("   bytes 512-575 (the scrambled password, then zeros):\n");
    HexDump(ReadFileBytes(vaultFile, 512, 64), 512);
    const auto stored = ReadFileBytes(vaultFile, 1024 + 65536, 512);
    Result(stored.size() == 512 && std::memcmp(stored.data(), message, sizeof message) == 0,
           "the sector is at file offset 65536 + 1024, in the clear");

    Step("Open it with a wrong password \"korvel2025\"");
    std::fflush(stdout);
    result = pellix.mountEx(0, vaultPath, 0, Wide("korvel2025"), Wide("S"));
    Result(result == 0, "refused: result " + std::to_string(result) + "; S: is " + DosDeviceTarget("S:"));

    Step("Open it with the right password typed as \"KORVEL2026\"");
    result = pellix.mountEx(0, vaultPath, 0, Wide("KORVEL2026"), Wide("S"));
    Result(result == 1, "result " + std::to_string(result));
    Result(ReadThroughS(sector.size()) == sector, "the data is still there");

    Step("Change the password: SysDiskChangePWD(\"S\", \"NewSecret1\"), then close");
    result = pellix.changePwd(Wide("S"), Wide("NewSecret1"));
    Result(result == 1, "result " + std::to_string(result));
    CloseVault(pellix, setting);

    Step("Open it again with the old and then the new password");
    std::fflush(stdout);
    result = pellix.mountEx(0, vaultPath, 0, Wide("Korvel2026"), Wide("S"));
    Result(result == 0, "old password refused: result " + std::to_string(result));
    result = pellix.mountEx(0, vaultPath, 0, Wide("newsecret1"), Wide("S"));
    Result(result == 1, "new password accepted: result " + std::to_string(result));
    Result(ReadThroughS(sector.size()) == sector, "the data is still there");
    CloseVault(pellix, setting);

    Step("Stop the driver: SysDiskStop()");
    Result(pellix.stop() == 1, "stopped");

    const std::string trace = setting.driverTrace();
    if (!trace.empty()) {
        // The handle opens and closes around each request are left out.
        std::printf("\nDriver trace of the tour (without the opens and closes of handles):\n");
        std::size_t start = 0;
        while (start < trace.size()) {
            std::size_t end = trace.find('\n', start);
            end = end == std::string::npos ? trace.size() : end + 1;
            const std::string line = trace.substr(start, end - start);
            if (line.find("::Create") == std::string::npos && line.find("::Close") == std::string::npos &&
                line.find("::CleanUp") == std::string::npos) {
                std::fputs(line.c_str(), stdout);
            }
            start = end;
        }
    }
    std::printf("\n%s: %d step(s), %d failure(s)\n", g_Failures == 0 ? "TOUR PASSED" : "TOUR FAILED", g_Step,
                g_Failures);
    return g_Failures == 0 ? 0 : 1;
}
