// What the library takes from its callers, and how it refuses the rest.
#pragma once

#include <windows.h>

// UTF-16 units of every name and path buffer of the library, terminator
// included: a caller's text must be shorter.
constexpr int NameChars = 255;

// A call refused before anything is asked of the system. The caller learns
// why from the thread's last error, as from any failed system call.
inline bool Refuse()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

// Whether `text` is there and fits a NameChars buffer with its terminator.
inline bool FitsName(LPCWSTR text)
{
    return text != nullptr && lstrlenW(text) < NameChars;
}
