// Win32 errors: the thread's last error and what NTSTATUS values become.
#pragma once

#include <windows.h>

namespace host {

// The Win32 error Windows reports for a kernel status (RtlNtStatusToDosError).
DWORD Win32ErrorFromStatus(NTSTATUS status);

// Sets the last error for a failed status and returns FALSE; TRUE for success.
BOOL FailWithStatus(NTSTATUS status);
BOOL FailWithError(DWORD error);

}  // namespace host
