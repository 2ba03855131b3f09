// CreateDirectoryW. The name is normalised as Windows normalises it, so a
// trailing separator keeps the trailing dots of the new folder's name.
#include "win32_errors.h"
#include "raw_volumes.h"
#include "win32_paths.h"

#include "../common/errno_status.h"

#include <sys/stat.h>

#include <cerrno>

extern "C" BOOL WINAPI CreateDirectoryW(LPCWSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes)
{
    (void)lpSecurityAttributes;  // a new folder gets its parent's host permissions
    host::Win32File folder;
    if (const DWORD error = host::ResolveWin32File(lpPathName, folder); error != ERROR_SUCCESS) {
        if (error == ERROR_UNRECOGNIZED_VOLUME) {
            host::RecordRawVolumeRequest("CreateDirectoryW", folder.name);
        }
        return host::FailWithError(error);
    }
    if (folder.host.exists) {
        return host::FailWithError(ERROR_ALREADY_EXISTS);
    }
    if (mkdir(folder.host.path.c_str(), 0777) != 0) {
        const int error = errno;
        return host::FailWithError(error == ENOENT ? ERROR_PATH_NOT_FOUND
                                                   : host::Win32ErrorFromStatus(host::StatusFromErrno(error)));
    }
    return TRUE;
}
