// Windows file attributes that Linux has no place for (read-only, hidden,
// system, archive) are kept with the file itself, in a user extended
// attribute, so that they persist as NTFS keeps them and travel with the
// file. The kernel's file calls and the Win32 layer both read them here.
#pragma once

#include <ntdef.h>

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

namespace host {

inline constexpr const char* kAttributesXattr = "user.korvel.attributes";

// The attributes kept for the file, or none when nothing was ever stored
// (or the file system keeps no user extended attributes).
inline std::optional<ULONG> ReadStoredAttributes(const std::string& path)
{
    unsigned char bytes[4] = {};
    if (getxattr(path.c_str(), kAttributesXattr, bytes, sizeof bytes) != sizeof bytes) {
        return std::nullopt;
    }
    // Little-endian on every host, as on the Windows side.
    return ULONG(bytes[0]) | ULONG(bytes[1]) << 8 | ULONG(bytes[2]) << 16 | ULONG(bytes[3]) << 24;
}

// 0, or the errno of the failure: ENOTSUP (EOPNOTSUPP) where the file system
// keeps no user extended attributes.
inline int WriteStoredAttributes(const std::string& path, ULONG attributes)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(attributes), static_cast<unsigned char>(attributes >> 8),
                                    static_cast<unsigned char>(attributes >> 16),
                                    static_cast<unsigned char>(attributes >> 24)};
    return setxattr(path.c_str(), kAttributesXattr, bytes, sizeof bytes, 0) == 0 ? 0 : errno;
}

// A file (never a folder: there the attribute restricts nothing) whose data
// may not be written or deleted.
inline bool IsReadOnlyFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) {
        return false;
    }
    const std::optional<ULONG> stored = ReadStoredAttributes(path);
    return stored && (*stored & FILE_ATTRIBUTE_READONLY) != 0;
}

}  // namespace host
