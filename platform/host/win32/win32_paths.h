// Win32 file names for the file calls (attributes, find, folders, delete,
// libraries): each name is normalised once, as Windows normalises it, and
// resolved through the drive table.
#pragma once

#include "../common/dos_path.h"

#include <windows.h>

#include <string>

namespace host {

struct Win32File {
    std::u16string name;        // the normalised Windows name, without a trailing separator
    HostPath host;              // where it lies on the host
    bool mustBeFolder = false;  // the name ended in a separator
};

// ERROR_SUCCESS, or the error Windows gives for the name: ERROR_PATH_NOT_FOUND
// for an unknown drive or a missing folder on the way, ERROR_INVALID_NAME for
// a name NTFS would not take, ERROR_UNRECOGNIZED_VOLUME on a drive letter that
// names a device without a file system (as on Windows' RAW volumes).
DWORD ResolveWin32File(LPCWSTR name, Win32File& file);

// Whether the host path is a folder (following links).
bool IsHostFolder(const std::string& path);

}  // namespace host
