// The shell's light-weight path helpers (shlwapi) that our code calls, as
// the host platform provides them.
#pragma once

#include <objbase.h>

extern "C" {

// A "file:" URL as a path: "file:///S:/%E5%85%B6%E5%AE%83" gives
// "S:\其它". E_INVALIDARG for any other URL.
HRESULT WINAPI PathCreateFromUrlW(LPCWSTR pszUrl, LPWSTR pszPath, LPDWORD pcchPath, DWORD dwFlags);

}  // extern "C"
