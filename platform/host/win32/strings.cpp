// Kernel32's string helpers, and code page conversions. The host's ANSI
// code page is UTF-8.
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

UINT WINAPI GetACP(void)
{
    return CP_UTF8;
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    (void)dwFlags;
    (void)lpDefaultChar;
    if (CodePage != CP_ACP && CodePage != CP_UTF8) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    if (lpWideCharStr == nullptr || cbMultiByte < 0) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    // A length of -1 takes the terminator along.
    const std::size_t units = cchWideChar < 0 ? host::Utf16Length(lpWideCharStr) + 1 : std::size_t(cchWideChar);
    std::string text = host::Utf16ToUtf8(host::AsUtf16(lpWideCharStr, units)).value_or("?");
    if (lpUsedDefaultChar != nullptr) {
        *lpUsedDefaultChar = FALSE;
    }
    if (cbMultiByte == 0) {
        return static_cast<int>(text.size());
    }
    if (text.size() > std::size_t(cbMultiByte)) {
        return host::FailWithError(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpMultiByteStr, text.data(), text.size());
    return static_cast<int>(text.size());
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    (void)dwFlags;
    if ((CodePage != CP_ACP && CodePage != CP_UTF8) || lpMultiByteStr == nullptr || cchWideChar < 0) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    const std::size_t bytes = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : std::size_t(cbMultiByte);
    const std::u16string text = host::Utf8ToUtf16(std::string_view(lpMultiByteStr, bytes));
    if (cchWideChar == 0) {
        return static_cast<int>(text.size());
    }
    if (text.size() > std::size_t(cchWideChar)) {
        return host::FailWithError(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(lpWideCharStr, text.data(), text.size() * sizeof(WCHAR));
    return static_cast<int>(text.size());
}

}  // extern "C"
