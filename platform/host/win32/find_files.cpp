// FindFirstFileW, FindNextFileW, FindClose. A search lists the folder once,
// when it starts: "." and ".." first in a folder that is not a drive's root
// (as NTFS lists them), then the matching entries in the order of their names
// without regard to case, as an NTFS index keeps them.
#include "file_attributes.h"
#include "wildcard.h"
#include "win32_errors.h"
#include "win32_paths.h"

#include "../kernel/object_table.h"

#include <host/utf16.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace host {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ULL;

FILETIME FileTimeFrom(const struct statx_timestamp& time)
{
    const std::uint64_t ticks =
        kUnixEpochAsFileTime + static_cast<std::uint64_t>(time.tv_sec) * 10000000ULL + time.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

struct Found {
    std::u16string name;
    WIN32_FIND_DATAW data;
};

// False when the entry vanished or cannot be looked at.
bool Describe(const std::string& hostPath, std::u16string name, Found& found)
{
    struct statx info {};
    if (statx(AT_FDCWD, hostPath.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0 ||
        name.size() >= MAX_PATH) {
        return false;
    }
    const bool isFolder = S_ISDIR(info.stx_mode);
    WIN32_FIND_DATAW& data = found.data;
    std::memset(&data, 0, sizeof data);
    data.dwFileAttributes = AttributesOf(hostPath, isFolder);
    // A file system that keeps no birth time gives the last change of data.
    data.ftCreationTime = FileTimeFrom((info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime : info.stx_mtime);
    data.ftLastAccessTime = FileTimeFrom(info.stx_atime);
    data.ftLastWriteTime = FileTimeFrom(info.stx_mtime);
    if (!isFolder) {
        data.nFileSizeHigh = static_cast<DWORD>(info.stx_size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(info.stx_size);
    }
    std::copy(name.begin(), name.end(), data.cFileName);
    found.name = std::move(name);
    return true;
}

class FindSearch final : public KernelObject {
public:
    explicit FindSearch(std::vector<Found> entries) : m_Entries(std::move(entries)) {}

    // False at the end of the list.
    bool Next(WIN32_FIND_DATAW& data)
    {
        std::lock_guard guard(m_Lock);
        if (m_Next >= m_Entries.size()) {
            return false;
        }
        data = m_Entries[m_Next++].data;
        return true;
    }

private:
    std::mutex m_Lock;
    std::vector<Found> m_Entries;
    std::size_t m_Next = 0;
};

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

HANDLE FailSearch(DWORD error)
{
    FailWithError(error);
    return INVALID_HANDLE_VALUE;
}

// The folder's entries whose names match, sorted as NTFS sorts them.
std::vector<Found> MatchingEntries(const std::string& folder, std::u16string_view pattern)
{
    std::vector<Found> entries;
    std::unique_ptr<DIR, DirCloser> listing(opendir(folder.c_str()));
    if (!listing) {
        return entries;
    }
    while (const dirent* entry = readdir(listing.get())) {
        const std::string hostName = entry->d_name;
        if (hostName == "." || hostName == "..") {
            continue;
        }
        std::u16string name = Utf8ToUtf16(hostName);
        Found found;
        if (MatchesWildcard(pattern, name) && Describe(folder + "/" + hostName, std::move(name), found)) {
            entries.push_back(std::move(found));
        }
    }
    auto folded = [](const std::u16string& name) {
        std::u16string key = name;
        for (char16_t& unit : key) {
            unit = FoldCase(unit);
        }
        return key;
    };
    std::sort(entries.begin(), entries.end(),
              [&](const Found& a, const Found& b) { return folded(a.name) < folded(b.name); });
    return entries;
}

}  // namespace

}  // namespace host

extern "C" {

HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData)
{
    if (lpFileName == nullptr || lpFindFileData == nullptr) {
        return host::FailSearch(ERROR_INVALID_PARAMETER);
    }
    const std::u16string name = host::NormalizeWin32Path(host::AsUtf16(lpFileName));
    // The pattern is the last segment; a name ending in a separator has none.
    const std::size_t split = name.rfind(u'\\');
    if (split == std::u16string::npos || split + 1 == name.size()) {
        return host::FailSearch(split == std::u16string::npos ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
    }
    const std::u16string pattern = name.substr(split + 1);
    const std::u16string folderName = name.substr(0, split + 1);
    host::Win32File folder;
    if (const DWORD error = host::ResolveWin32File(reinterpret_cast<LPCWSTR>(folderName.c_str()), folder);
        error != ERROR_SUCCESS) {
        return host::FailSearch(error);
    }
    if (!folder.host.exists) {
        return host::FailSearch(ERROR_PATH_NOT_FOUND);
    }
    if (!host::IsHostFolder(folder.host.path)) {
        return host::FailSearch(ERROR_DIRECTORY);
    }
    std::vector<host::Found> entries;
    const bool isRoot = folderName.size() == 3;
    if (!isRoot) {
        const std::string parent = folder.host.path + "/..";
        for (const auto& [dots, hostPath] : {std::pair{u".", folder.host.path}, std::pair{u"..", parent}}) {
            host::Found found;
            if (host::MatchesWildcard(pattern, dots) && host::Describe(hostPath, dots, found)) {
                entries.push_back(std::move(found));
            }
        }
    }
    for (host::Found& found : host::MatchingEntries(folder.host.path, pattern)) {
        entries.push_back(std::move(found));
    }
    if (entries.empty()) {
        return host::FailSearch(ERROR_FILE_NOT_FOUND);
    }
    auto search = host::MakeObject<host::FindSearch>(std::move(entries));
    search->Next(*lpFindFileData);
    return host::InsertHandle(search.Get());
}

BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData)
{
    host::Ref<host::FindSearch> search = host::ReferenceHandleAs<host::FindSearch>(hFindFile);
    if (!search) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    if (lpFindFileData == nullptr) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    return search->Next(*lpFindFileData) ? TRUE : host::FailWithError(ERROR_NO_MORE_FILES);
}

BOOL WINAPI FindClose(HANDLE hFindFile)
{
    if (!host::ReferenceHandleAs<host::FindSearch>(hFindFile)) {
        return host::FailWithError(ERROR_INVALID_HANDLE);
    }
    return host::RemoveHandle(hFindFile) ? TRUE : host::FailWithError(ERROR_INVALID_HANDLE);
}

}  // extern "C"
