// Windows paths on the host: "C:\dir\file" (and the kernel's "\??\C:\dir\file")
// become host paths through the drive table. Names are checked as NTFS checks
// them, so that no Windows name can step outside its drive's folder.
#pragma once

#include <host/drive_table.h>
#include <ntstatus.h>

#include <string>
#include <string_view>

namespace host {

struct HostPath {
    std::string path;      // the host path of the named file or folder
    bool exists = false;   // whether that last component exists now
    Drive drive;           // the drive the path lies on
    char letter = 0;       // and its letter, upper case
};

// dosPath: an absolute path "X:\..." with backslashes. With caseInsensitive,
// each component matches an existing entry whatever its letter case, as on
// Windows. Fails with the status a Windows file system would give:
// STATUS_OBJECT_PATH_NOT_FOUND for an unknown drive or a missing folder on the
// way, STATUS_OBJECT_NAME_INVALID for a name NTFS would not take.
NTSTATUS ResolveDosPath(std::u16string_view dosPath, bool caseInsensitive, HostPath& out);

// ntPath: "\??\X:\..." as the kernel's object manager sees a DOS path.
NTSTATUS ResolveNtPath(std::u16string_view ntPath, bool caseInsensitive, HostPath& out);

// A Win32 file name as Windows normalises it before any file call opens it:
// "/" becomes "\", runs of separators collapse, "." and ".." segments go
// (never above the root), and, unless the name ends in a separator, trailing
// dots and blanks of its last segment are removed. So "X:\dir\name...\"
// keeps a folder's trailing dots while "X:\dir\name..." loses them. A name
// given as "\\?\X:\..." is taken literally, without its prefix. Names
// that do not start with a drive letter stay as they are.
std::u16string NormalizeWin32Path(std::u16string_view path);

}  // namespace host
