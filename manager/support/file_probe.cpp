#include "support/file_probe.h"

namespace tessaly {

namespace {

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : m_Handle(handle) {}
    ~FindHandle()
    {
        if (m_Handle != INVALID_HANDLE_VALUE) {
            FindClose(m_Handle);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    bool Valid() const { return m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_Handle; }

private:
    HANDLE m_Handle;
};

}  // namespace

bool MatchesAttributeMask(DWORD attributes, DWORD mask)
{
    const DWORD selective = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY;
    return (attributes & selective & ~mask) == 0;
}

std::vector<FoundEntry> FindEntries(const Text& pattern, DWORD mask)
{
    std::vector<FoundEntry> entries;
    WIN32_FIND_DATAW data{};
    FindHandle find(FindFirstFileW(Wide(pattern), &data));
    if (!find.Valid()) {
        return entries;
    }
    do {
        Text name = FromWide(data.cFileName, MAX_PATH);
        if (name == u"." || name == u"..") {
            continue;
        }
        if (MatchesAttributeMask(data.dwFileAttributes, mask)) {
            entries.push_back(FoundEntry{std::move(name), data.dwFileAttributes});
        }
    } while (FindNextFileW(find.Get(), &data));
    return entries;
}

bool AnyEntry(const Text& pattern, DWORD mask)
{
    return !FindEntries(pattern, mask).empty();
}

}  // namespace tessaly
