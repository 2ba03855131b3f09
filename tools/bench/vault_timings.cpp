// How long the vault operations that touch the whole file take on the host,
// through the control library's exports, the host's Win32 layer and the
// driver: creating a 10 GiB vault (file and header), a password change, and
// a mount and a dismount of an existing vault. Each is the median of a few
// runs, printed with its target.
//
// Usage: vault_timings <scratch folder that becomes drive C:>
#include "tour/host_machine.h"

#include <host/utf16.h>
#include <windows.h>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class Wide {
public:
    explicit Wide(const char* utf8) : m_Text(host::Utf8ToUtf16(utf8)) {}
    operator LPCWSTR() const { return reinterpret_cast<LPCWSTR>(m_Text.c_str()); }

private:
    std::u16string m_Text;
};

// Runs `prepare` (not timed), then `operation` (timed, must return 1), then
// `undo` (not timed), `runs` times. The median in milliseconds, or a
// negative number when the operation failed.
double MedianMs(int runs, const std::function<void()>& prepare, const std::function<int()>& operation,
                const std::function<void()>& undo)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto start = Clock::now();
        const int result = operation();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        undo();
        if (result != 1) {
            return -1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

bool Report(const char* what, double ms, double targetMs)
{
    if (ms < 0) {
        std::printf("%-46s %10s\n", what, "FAILED");
        return false;
    }
    const bool met = ms < targetMs;
    std::printf("%-46s %9.2f ms  (target under %.0f ms: %s)\n", what, ms, targetMs, met ? "met" : "missed");
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <scratch folder>\n", argv[0]);
        return 2;
    }
    const std::string root = std::filesystem::absolute(argv[1]).string();
    PellixExports pellix{};
    void* library = PrepareHostMachine(root, pellix);
    if (library == nullptr) {
        return 1;
    }
    if (pellix.install(Wide("Vantor"), Wide("C:\\Software\\Vantor.dll"), 2) != 1) {
        std::fprintf(stderr, "the driver service did not start\n");
        return 1;
    }

    constexpr int kRuns = 5;
    const Wide big("C:\\autorun.inf\\Big.sec");
    const Wide small("C:\\autorun.inf\\Small.sec");
    const Wide drive("S");
    const std::string bigFile = root + "/autorun.inf/Big.sec";
    auto nothing = [] {};
    auto dismount = [&] { pellix.unmountEx(drive, 1); };

    std::printf("Vault operations through the control library on the host, median of %d runs\n", kRuns);
    bool ok = true;
    ok &= Report("create a 10 GiB vault (SysDiskMountEx, new file)",
                 MedianMs(
                     kRuns, [&] { std::filesystem::remove(bigFile); },
                     [&] {
                         // Counted only when the file really is the vault's full length.
                         return pellix.mountEx(0, big, 10240, Wide("Timing1"), drive) == 1 &&
                                        std::filesystem::file_size(bigFile) == (10240ull << 20) + 1024
                                    ? 1
                                    : 0;
                     },
                     dismount),
                 100);
    std::filesystem::remove(bigFile);

    ok &= pellix.mountEx(0, small, 64, Wide("Timing1"), drive) == 1;
    ok &= Report("change the password (SysDiskChangePWD)",
                 MedianMs(kRuns, nothing, [&] { return pellix.changePwd(drive, Wide("Timing2")); }, nothing), 50);
    pellix.unmountEx(drive, 1);

    ok &= Report("mount an existing vault (SysDiskMountEx)",
                 MedianMs(kRuns, nothing, [&] { return pellix.mountEx(0, small, 0, Wide("Timing2"), drive); }, dismount),
                 50);
    ok &= Report("dismount it (SysDiskUnMountEx, not forced)",
                 MedianMs(
                     kRuns, [&] { pellix.mountEx(0, small, 0, Wide("Timing2"), drive); },
                     [&] {
                         WCHAR target[256];
                         // Counted only when S: is really gone afterwards.
                         return pellix.unmountEx(drive, 0) == 1 && QueryDosDeviceW(Wide("S:"), target, 256) == 0 ? 1 : 0;
                     },
                     nothing),
                 50);

    pellix.stop();
    dlclose(library);
    return ok ? 0 : 1;
}
