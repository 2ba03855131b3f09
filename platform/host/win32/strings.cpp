// Kernel32's string helpers. Code page conversions are in code_pages.cpp.
#include "win32_errors.h"

#include <host/utf16.h>

#include <cstring>

extern "C" {

int WINAPI lstrlenW(LPCWSTR lpString)
{
    return lpString == nullptr ? 0 : static_cast<int>(host::Utf16Length(lpString));
}

LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength)
{
    if (iMaxLength <= 0) {
        return lpString1;
    }
    int i = 0;
    for (; i < iMaxLength - 1 && lpString2[i] != 0; ++i) {
        lpString1[i] = lpString2[i];
    }
    lpString1[i] = 0;
    return lpString1;
}

int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2)
{
    for (;; ++lpString1, ++lpString2) {
        const char16_t a = host::FoldCase(static_cast<char16_t>(*lpString1));
        const char16_t b = host::FoldCase(static_cast<char16_t>(*lpString2));
        if (a != b || a == 0) {
            return a < b ? -1 : a > b ? 1 : 0;
        }
    }
}

}  // extern "C"
