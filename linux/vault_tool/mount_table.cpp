#include "mount_table.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vault_tool {

namespace {

// Mount points in mountinfo spell space, tab, newline and backslash as
// three-digit octal escapes.
std::string Unescape(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const std::string digits = text.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                plain += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        plain += text[i];
    }
    return plain;
}

std::string RunFolder()
{
    if (geteuid() == 0) {
        return "/run/korvel-vault";
    }
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/korvel-vault";
    }
    return "/tmp/korvel-vault-" + std::to_string(geteuid());
}

// A stable name for a mount folder's records (FNV-1a over its path).
std::string KeyOf(const std::string& folder)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : folder) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char key[17];
    std::snprintf(key, sizeof key, "%016llx", static_cast<unsigned long long>(hash));
    return key;
}

std::string WorkFolderPath(const std::string& folder)
{
    return RunFolder() + "/" + KeyOf(folder);
}

}  // namespace

bool IsMountPoint(const std::string& folder)
{
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        if (fields >> id >> parent >> device >> root >> point && Unescape(point) == folder) {
            return true;
        }
    }
    return false;
}

std::string MountWorkFolder(const std::string& folder)
{
    const std::string run = RunFolder();
    // Private to the user: it names the vaults and serves their data.
    if (mkdir(run.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    struct stat info {};
    if (lstat(run.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        return {};
    }
    const std::string work = WorkFolderPath(folder);
    if (mkdir(work.c_str(), 0700) != 0 && errno != EEXIST) {
        return {};
    }
    return work;
}

bool SaveRecord(const std::string& folder, const MountRecord& record)
{
    const std::string work = MountWorkFolder(folder);
    if (work.empty()) {
        return false;
    }
    // Written whole under another name first, so that a reader never sees
    // half a record.
    const std::string path = work + "/record";
    {
        std::ofstream out(path + ".new", std::ios::trunc);
        out << record.holder << "\n" << record.vault << "\n";
        if (!out.flush()) {
            return false;
        }
    }
    return std::rename((path + ".new").c_str(), path.c_str()) == 0;
}

std::optional<MountRecord> LoadRecord(const std::string& folder)
{
    std::ifstream in(WorkFolderPath(folder) + "/record");
    MountRecord record;
    std::string holder;
    if (!std::getline(in, holder) || !std::getline(in, record.vault)) {
        return std::nullopt;
    }
    record.holder = static_cast<pid_t>(std::atol(holder.c_str()));
    if (record.holder <= 0) {
        return std::nullopt;
    }
    return record;
}

void RemoveRecord(const std::string& folder)
{
    std::error_code ignored;
    std::filesystem::remove_all(WorkFolderPath(folder), ignored);
}

bool ProcessRuns(pid_t pid)
{
    if (kill(pid, 0) != 0 && errno == ESRCH) {
        return false;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) {
        return false;
    }
    const char state = text[close + 2];
    return state != 'Z' && state != 'X';
}

}  // namespace vault_tool
