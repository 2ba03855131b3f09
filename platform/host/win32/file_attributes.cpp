// GetFileAttributesW and SetFileAttributesW. The attributes Linux has no
// place for live in a user extended attribute of the file; a file system
// without those makes SetFileAttributesW fail rather than pretend.
#include "file_attributes.h"

#include "win32_errors.h"
#include "win32_paths.h"

#include "../common/errno_status.h"
#include "../common/stored_attributes.h"

#include <cerrno>

namespace host {

namespace {

// What SetFileAttributesW can change, as Windows masks it
// (FILE_ATTRIBUTE_VALID_SET_FLAGS): read-only, hidden, system, archive,
// normal, temporary, offline and not-content-indexed.
constexpr DWORD kSettable = 0x31A7;

DWORD FailAttributes(DWORD error)
{
    FailWithError(error);
    return INVALID_FILE_ATTRIBUTES;
}

}  // namespace

DWORD AttributesOf(const std::string& hostPath, bool isFolder)
{
    const std::optional<ULONG> stored = ReadStoredAttributes(hostPath);
    DWORD attributes = stored ? *stored : isFolder ? 0 : FILE_ATTRIBUTE_ARCHIVE;
    if (isFolder) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

}  // namespace host

extern "C" {

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    host::Win32File file;
    if (const DWORD error = host::ResolveWin32File(lpFileName, file); error != ERROR_SUCCESS) {
        return host::FailAttributes(error);
    }
    if (!file.host.exists) {
        return host::FailAttributes(ERROR_FILE_NOT_FOUND);
    }
    const bool isFolder = host::IsHostFolder(file.host.path);
    if (file.mustBeFolder && !isFolder) {
        return host::FailAttributes(ERROR_INVALID_NAME);
    }
    return host::AttributesOf(file.host.path, isFolder);
}

BOOL WINAPI SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes)
{
    host::Win32File file;
    if (const DWORD error = host::ResolveWin32File(lpFileName, file); error != ERROR_SUCCESS) {
        return host::FailWithError(error);
    }
    if (!file.host.exists) {
        return host::FailWithError(ERROR_FILE_NOT_FOUND);
    }
    if (file.mustBeFolder && !host::IsHostFolder(file.host.path)) {
        return host::FailWithError(ERROR_INVALID_NAME);
    }
    // NORMAL only means "none of the others"; DIRECTORY and the rest are not
    // the caller's to set.
    const DWORD kept = dwFileAttributes & host::kSettable & ~DWORD(FILE_ATTRIBUTE_NORMAL);
    const int error = host::WriteStoredAttributes(file.host.path, kept);
    if (error == ENOTSUP) {
        return host::FailWithError(ERROR_NOT_SUPPORTED);
    }
    return host::FailWithStatus(host::StatusFromErrno(error));
}

}  // extern "C"
