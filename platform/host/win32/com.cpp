// COM on a host without COM servers: apartments are counted per thread as
// Windows counts them, and every class is answered as not registered.
// Automation strings and the "file:" URL helper are real.
#include "win32_errors.h"

#include <exdisp.h>
#include <host/utf16.h>
#include <oleauto.h>
#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

extern "C" {

const CLSID CLSID_ShellWindows = {0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const IID IID_IShellWindows = {0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const IID IID_IWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

}  // extern "C"

namespace {

struct Apartment {
    int initialisations = 0;
    DWORD model = 0;
};
thread_local Apartment t_Apartment;

int HexValue(char16_t unit)
{
    if (unit >= u'0' && unit <= u'9') {
        return unit - u'0';
    }
    if (unit >= u'a' && unit <= u'f') {
        return unit - u'a' + 10;
    }
    if (unit >= u'A' && unit <= u'F') {
        return unit - u'A' + 10;
    }
    return -1;
}

}  // namespace

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved != nullptr) {
        return E_INVALIDARG;
    }
    Apartment& apartment = t_Apartment;
    if (apartment.initialisations > 0) {
        if (apartment.model != dwCoInit) {
            return RPC_E_CHANGED_MODE;
        }
        ++apartment.initialisations;
        return S_FALSE;
    }
    apartment.model = dwCoInit;
    apartment.initialisations = 1;
    return S_OK;
}

void WINAPI CoUninitialize(void)
{
    if (t_Apartment.initialisations > 0) {
        --t_Apartment.initialisations;
    }
}

HRESULT WINAPI CoCreateInstance(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* ppv)
{
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    return REGDB_E_CLASSNOTREG;
}

void WINAPI VariantInit(VARIANT* pvarg)
{
    std::memset(pvarg, 0, sizeof(*pvarg));
    pvarg->vt = VT_EMPTY;
}

BSTR WINAPI SysAllocString(const OLECHAR* psz)
{
    if (psz == nullptr) {
        return nullptr;
    }
    const std::size_t units = host::Utf16Length(psz);
    // A BSTR is preceded by its length in bytes and ends with a NUL.
    auto* block = static_cast<std::uint8_t*>(std::malloc(sizeof(std::uint32_t) + (units + 1) * sizeof(OLECHAR)));
    if (block == nullptr) {
        return nullptr;
    }
    const std::uint32_t bytes = static_cast<std::uint32_t>(units * sizeof(OLECHAR));
    std::memcpy(block, &bytes, sizeof(bytes));
    auto* text = reinterpret_cast<OLECHAR*>(block + sizeof(std::uint32_t));
    std::memcpy(text, psz, (units + 1) * sizeof(OLECHAR));
    return text;
}

void WINAPI SysFreeString(BSTR bstrString)
{
    if (bstrString != nullptr) {
        std::free(reinterpret_cast<std::uint8_t*>(bstrString) - sizeof(std::uint32_t));
    }
}

HRESULT WINAPI PathCreateFromUrlW(LPCWSTR pszUrl, LPWSTR pszPath, LPDWORD pcchPath, DWORD)
{
    if (pszUrl == nullptr || pszPath == nullptr || pcchPath == nullptr || *pcchPath == 0) {
        return E_INVALIDARG;
    }
    std::u16string_view url = host::AsUtf16(pszUrl);
    constexpr std::u16string_view kScheme = u"file:";
    if (url.size() < kScheme.size()) {
        return E_INVALIDARG;
    }
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        if (host::FoldCase(url[i]) != host::FoldCase(kScheme[i])) {
            return E_INVALIDARG;
        }
    }
    url.remove_prefix(kScheme.size());
    // "file:///C:/x" and "file://C:/x" name the same local path.
    while (!url.empty() && url.front() == u'/') {
        url.remove_prefix(1);
    }
    // Percent escapes are bytes of UTF-8; runs of them are decoded together.
    std::u16string path;
    std::string escaped;
    for (std::size_t i = 0; i < url.size(); ++i) {
        const char16_t unit = url[i];
        if (unit == u'%' && i + 2 < url.size() && HexValue(url[i + 1]) >= 0 && HexValue(url[i + 2]) >= 0) {
            escaped.push_back(static_cast<char>(HexValue(url[i + 1]) * 16 + HexValue(url[i + 2])));
            i += 2;
            continue;
        }
        path += host::Utf8ToUtf16(escaped);
        escaped.clear();
        path.push_back(unit == u'/' ? u'\\' : unit);
    }
    path += host::Utf8ToUtf16(escaped);
    if (path.size() + 1 > *pcchPath) {
        *pcchPath = static_cast<DWORD>(path.size() + 1);
        return E_POINTER;
    }
    std::memcpy(pszPath, path.c_str(), (path.size() + 1) * sizeof(WCHAR));
    *pcchPath = static_cast<DWORD>(path.size());
    return S_OK;
}

}  // extern "C"
