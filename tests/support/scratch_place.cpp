#include "support/scratch_place.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

namespace korvel::test {

namespace {

// Writes one aligned sector with O_DIRECT in `folder`.
bool TakesUnbufferedIo(const std::string& folder, std::string& why)
{
    const std::string probe = folder + "/korvel-odirect-XXXXXX";
    std::vector<char> name(probe.begin(), probe.end());
    name.push_back('\0');
    const int created = mkstemp(name.data());
    if (created < 0) {
        why = folder + ": cannot make a file (" + std::strerror(errno) + ")";
        return false;
    }
    close(created);
    const int fd = open(name.data(), O_RDWR | O_DIRECT);
    bool ok = false;
    if (fd >= 0) {
        void* sector = nullptr;
        if (posix_memalign(&sector, 4096, 4096) == 0) {
            std::memset(sector, 0, 4096);
            ok = pwrite(fd, sector, 4096, 0) == 4096;
            std::free(sector);
        }
        close(fd);
    }
    unlink(name.data());
    if (!ok) {
        why = folder + ": the file system refuses unbuffered I/O (O_DIRECT)";
    }
    return ok;
}

// Whether kOtherUser may pass through every folder down to `folder`. The
// file-system identity is per thread on Linux, so a short-lived thread asks.
bool OtherUserCanReach(const std::string& folder, std::string& why)
{
    bool reached = false;
    std::thread probe([&] {
        setfsgid(kOtherGroup);
        setfsuid(kOtherUser);
        if (static_cast<unsigned>(setfsuid(kOtherUser)) != kOtherUser) {
            return;
        }
        struct stat info {};
        reached = stat((folder + "/.").c_str(), &info) == 0;
    });
    probe.join();
    if (!reached) {
        why = folder + ": user " + std::to_string(kOtherUser) + " cannot pass through the folders above it";
    }
    return reached;
}

std::vector<std::string> Candidates()
{
    std::vector<std::string> folders;
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir != nullptr && *tmpdir != '\0') {
        folders.emplace_back(tmpdir);
    }
    folders.emplace_back("/var/tmp");
    folders.emplace_back("/tmp");
    folders.emplace_back(KORVEL_SCRATCH_ROOT);
    return folders;
}

ScratchPlace Choose()
{
    const bool needReach = CanChangeIdentity();
    std::string fallback;
    std::string reasons;
    for (const std::string& candidate : Candidates()) {
        std::error_code error;
        if (!std::filesystem::is_directory(candidate, error)) {
            reasons += "\n  " + candidate + ": not a folder";
            continue;
        }
        std::string why;
        if (!TakesUnbufferedIo(candidate, why)) {
            reasons += "\n  " + why;
            continue;
        }
        if (!needReach || OtherUserCanReach(candidate, why)) {
            return ScratchPlace{candidate, needReach, {}};
        }
        reasons += "\n  " + why;
        if (fallback.empty()) {
            fallback = candidate;
        }
    }
    if (fallback.empty()) {
        ADD_FAILURE() << "no folder for scratch files takes unbuffered I/O:" << reasons;
        return ScratchPlace{KORVEL_SCRATCH_ROOT, false, "no folder takes unbuffered I/O"};
    }
    return ScratchPlace{fallback, false, "no scratch folder that takes unbuffered I/O is reachable by another user:" +
                                             reasons};
}

}  // namespace

bool CanChangeIdentity()
{
    return geteuid() == 0;
}

std::string WhyTestsCannotActAsAnotherUser()
{
    if (!CanChangeIdentity()) {
        return "the tests cannot change identity here (not running as root)";
    }
    return ChosenScratchPlace().whyNot;
}

const ScratchPlace& ChosenScratchPlace()
{
    static const ScratchPlace chosen = Choose();
    return chosen;
}

}  // namespace korvel::test
