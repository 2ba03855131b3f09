// GetFileSize: the size in two halves. A low half of 0xFFFFFFFF is also
// INVALID_FILE_SIZE, so a success clears the last error for the caller to
// tell the two apart.
#include <windows.h>

extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hFile, &size)) {
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh != nullptr) {
        *lpFileSizeHigh = static_cast<DWORD>(size.HighPart);
    }
    if (size.LowPart == INVALID_FILE_SIZE) {
        SetLastError(NO_ERROR);
    }
    return size.LowPart;
}
