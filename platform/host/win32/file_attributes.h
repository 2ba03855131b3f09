// The attributes Windows reports for a file or folder on a host drive.
#pragma once

#include <windows.h>

#include <string>

namespace host {

// What GetFileAttributesW and FindFirstFileW report: the kept attributes
// (see stored_attributes.h) with FILE_ATTRIBUTE_DIRECTORY for a folder. A file
// that never had any set is FILE_ATTRIBUTE_ARCHIVE, as a new file on NTFS; a
// file with none left is FILE_ATTRIBUTE_NORMAL.
DWORD AttributesOf(const std::string& hostPath, bool isFolder);

}  // namespace host
