// A tour of a vault's life through the control library, on the host: the
// library loaded and its exports bound by name as the vault manager does,
// the driver installed as a service from C:\Software\Vantor.dll, the vault
// served as S:.
//
// Usage: product_tour <scratch folder that becomes drive C:>
#include "pellix.h"

#include <host/drive_table.h>
#include <host/test_hooks.h>
#include <host/utf16.h>

#include <dlfcn.h>

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
    explicit Wide(const std::string& utf8) : m_Text(host::Utf8ToUtf16(utf8)) {}
    operator LPCWSTR() const { return reinterpret_cast<LPCWSTR>(m_Text.c_str()); }

private:
    std::u16string m_Text;
};

std::string Narrow(const WCHAR* text)
{
    return host::Utf16ToUtf8(host::AsUtf16(text)).value_or("?");
}

std::string DosDeviceTarget(const char* name)
{
    WCHAR targets[512];
    return QueryDosDeviceW(Wide(name), targets, 512) == 0 ? "(not defined)" : Narrow(targets);
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

struct Exports {
    SysDiskInstallFn install;
    SysDiskStopFn stop;
    SysDiskMountExFn mountEx;
    SysDiskUnMountExFn unmountEx;
    SysDiskChangePWDFn changePwd;
};

// Through the volume, at disk offset 64 KiB.
bool WriteThroughS(const std::vector<unsigned char>& sector)
{
    HANDLE volume = CreateFileW(Wide("\\\\.\\S:"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at;
    at.QuadPart = 64 * 1024;
    DWORD done = 0;
    const bool ok = SetFilePointerEx(volume, at, nullptr, FILE_BEGIN) &&
                    WriteFile(volume, sector.data(), DWORD(sector.size()), &done, nullptr) && done == sector.size();
    CloseHandle(volume);
    return ok;
}

std::vector<unsigned char> ReadThroughS(std::size_t length)
{
    std::vector<unsigned char> sector(length, 0);
    HANDLE volume = CreateFileW(Wide("\\\\.\\S:"), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr);
    if (volume == INVALID_HANDLE_VALUE) {
        return {};
    }
    LARGE_INTEGER at;
    at.QuadPart = 64 * 1024;
    DWORD done = 0;
    if (!SetFilePointerEx(volume, at, nullptr, FILE_BEGIN) ||
        !ReadFile(volume, sector.data(), DWORD(sector.size()), &done, nullptr)) {
        sector.clear();
    }
    CloseHandle(volume);
    return sector;
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
    std::filesystem::create_directories(root + "/Software");
    std::filesystem::create_directories(root + "/autorun.inf");
    std::filesystem::copy_file(VANTOR_IMAGE, root + "/Software/Vantor.dll");
    host::MapDrive('C', host::Drive{root, host::DriveType::Fixed, std::nullopt});

    std::printf("Korvel vault tour through Pellix (host build; drive C: is %s)\n", root.c_str());

    void* library = dlopen(PELLIX_IMAGE, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", PELLIX_IMAGE, dlerror());
        return 1;
    }
    const Exports pellix{
        reinterpret_cast<SysDiskInstallFn>(dlsym(library, "SysDiskInstall")),
        reinterpret_cast<SysDiskStopFn>(dlsym(library, "SysDiskStop")),
        reinterpret_cast<SysDiskMountExFn>(dlsym(library, "SysDiskMountEx")),
        reinterpret_cast<SysDiskUnMountExFn>(dlsym(library, "SysDiskUnMountEx")),
        reinterpret_cast<SysDiskChangePWDFn>(dlsym(library, "SysDiskChangePWD")),
    };
    const Wide vaultPath("C:\\autorun.inf\\MyVault.sec");
    const std::string hostVault = root + "/autorun.inf/MyVault.sec";
    constexpr int kSizeMb = 8;

    Step("Install the driver service: SysDiskInstall(\"Vantor\", \"C:\\Software\\Vantor.dll\", 2)");
    int result = pellix.install(Wide("Vantor"), Wide("C:\\Software\\Vantor.dll"), SERVICE_AUTO_START);
    Result(result == 1, "result " + std::to_string(result) + "; the driver runs with units \\\\.\\VantorDevice0 and 1");

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
    result = pellix.unmountEx(Wide("S"), 0);
    Result(result == 1, "result " + std::to_string(result) + "; S: is " + DosDeviceTarget("S:"));

    Step("Look at the vault file");
    const auto bytes = ReadFileBytes(hostVault);
    Result(bytes.size() == (std::size_t(kSizeMb) << 20) + 1024,
           "length " + std::to_string(bytes.size()) + " = 8 MB + 1024");
    std::printf("   bytes 512-575 (the scrambled password, then zeros):\n");
    HexDump(bytes, 512, 64);
    Result(bytes.size() > 1024 + 65536 + sizeof message &&
               std::memcmp(bytes.data() + 1024 + 65536, message, sizeof message) == 0,
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
    Result(pellix.unmountEx(Wide("S"), 0) == 1, "closed");

    Step("Open it again with the old and then the new password");
    std::fflush(stdout);
    result = pellix.mountEx(0, vaultPath, 0, Wide("Korvel2026"), Wide("S"));
    Result(result == 0, "old password refused: result " + std::to_string(result));
    result = pellix.mountEx(0, vaultPath, 0, Wide("newsecret1"), Wide("S"));
    Result(result == 1, "new password accepted: result " + std::to_string(result));
    Result(ReadThroughS(sector.size()) == sector, "the data is still there");
    Result(pellix.unmountEx(Wide("S"), 0) == 1, "closed");

    Step("Stop the driver: SysDiskStop()");
    Result(pellix.stop() == 1, "stopped");

    // The handle opens and closes around each request are left out.
    std::printf("\nDriver trace of the tour (without the opens and closes of handles):\n");
    const std::string trace = host::DebugOutput();
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
    std::printf("\n%s: %d step(s), %d failure(s)\n", g_Failures == 0 ? "TOUR PASSED" : "TOUR FAILED", g_Step,
                g_Failures);
    dlclose(library);
    return g_Failures == 0 ? 0 : 1;
}
