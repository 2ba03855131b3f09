#include "shell/vault_scan.h"

#include "shell/texts.h"
#include "support/file_probe.h"
#include "support/number_text.h"

namespace tessaly {

namespace {

constexpr DWORD kDriveStringsChars = 255;
// Normal, read-only, hidden, system and folder entries all match.
constexpr DWORD kVaultEntryMask = 23;

class OpenFile {
public:
    explicit OpenFile(HANDLE handle) : m_Handle(handle) {}
    ~OpenFile()
    {
        if (m_Handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_Handle);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    bool Valid() const { return m_Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_Handle; }

private:
    HANDLE m_Handle;
};

}  // namespace

std::vector<Text> VaultDriveRoots()
{
    Text buffer(kDriveStringsChars, u'\0');
    const DWORD length = GetLogicalDriveStringsW(kDriveStringsChars, WideBuffer(buffer));
    buffer.resize(length <= kDriveStringsChars ? length : 0);

    std::vector<Text> roots;
    std::size_t start = 0;
    while (start < buffer.size()) {
        std::size_t end = buffer.find(u'\0', start);
        if (end == Text::npos) {
            end = buffer.size();
        }
        const Text piece = buffer.substr(start, end - start);
        start = end + 1;
        if (piece.size() > 1 && piece[1] == u':' && AsciiUpper(piece[0]) != u'A' &&
            GetDriveTypeW(Wide(piece)) == DRIVE_FIXED) {
            roots.push_back(piece);
        }
    }
    return roots;
}

double VaultFileSize(const Text& path)
{
    // Only the size is wanted: asking for attributes alone also works while
    // the driver holds an open vault without sharing.
    OpenFile file(CreateFileW(Wide(path), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.Valid()) {
        return -1;
    }
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return -1;
    }
    return static_cast<double>(high) * 4294967296.0 + static_cast<double>(low);
}

Text VaultListEntry(const Text& path, double sizeBytes)
{
    return path + texts::kCapacityMarker + CapacityText(sizeBytes);
}

std::vector<Text> ScanForVaults()
{
    std::vector<Text> lines;
    for (const Text& root : VaultDriveRoots()) {
        const Text folder = root.substr(0, 2) + texts::kHolderFolder;
        for (const FoundEntry& entry : FindEntries(folder + texts::kVaultPattern, kVaultEntryMask)) {
            const Text path = folder + entry.name;
            lines.push_back(VaultListEntry(path, VaultFileSize(path)));
        }
    }
    return lines;
}

}  // namespace tessaly
