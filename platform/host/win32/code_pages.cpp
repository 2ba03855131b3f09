// GetACP, WideCharToMultiByte and MultiByteToWideChar over iconv, with the
// host's ANSI code page as a knob (UTF-8 unless a test asks for another).
#include "code_pages.h"

#include "win32_errors.h"

#include <host/utf16.h>
#include <host/win32_hooks.h>

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace host {

namespace {

std::atomic<UINT> g_AnsiCodePage{CP_UTF8};

constexpr UINT kGbk = 936;
constexpr UINT kWestern = 1252;

const char* IconvName(UINT codePage)
{
    switch (codePage) {
    case CP_UTF8:
        return "UTF-8";
    case kGbk:
        return "CP936";
    case kWestern:
        return "CP1252";
    default:
        return nullptr;
    }
}

// What a byte sequence the code page does not define becomes.
char16_t UnicodeDefaultChar(UINT codePage)
{
    return codePage == kGbk ? u'\u30FB' : u'\uFFFD';
}

// Windows' 1252 passes the five bytes it leaves undefined through as the
// C1 controls of the same value; iconv refuses them.
bool IsWesternPassThrough(UINT codePage, char32_t value)
{
    return codePage == kWestern &&
           (value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D);
}

class Converter {
public:
    Converter(const char* to, const char* from) : m_Handle(iconv_open(to, from)) {}
    ~Converter()
    {
        if (Valid()) {
            iconv_close(m_Handle);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return m_Handle != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; stops at the first sequence it cannot.
    // Returns the number of input bytes consumed.
    std::size_t Run(const char* input, std::size_t length, std::string& output)
    {
        char* in = const_cast<char*>(input);
        std::size_t inLeft = length;
        char buffer[256];
        while (inLeft > 0) {
            char* out = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(m_Handle, &in, &inLeft, &out, &outLeft);
            output.append(buffer, static_cast<std::size_t>(out - buffer));
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                break;
            }
        }
        return length - inLeft;
    }

private:
    iconv_t m_Handle;
};

}  // namespace

UINT AnsiCodePage()
{
    return g_AnsiCodePage.load();
}

bool SetAnsiCodePage(UINT codePage)
{
    if (codePage == CP_ACP || IconvName(codePage) == nullptr) {
        return false;
    }
    g_AnsiCodePage.store(codePage);
    return true;
}

std::optional<UINT> ActualCodePage(UINT codePage)
{
    const UINT actual = codePage == CP_ACP ? AnsiCodePage() : codePage;
    return IconvName(actual) != nullptr ? std::optional<UINT>(actual) : std::nullopt;
}

std::string_view DefaultCharOf(UINT codePage, const char* given)
{
    if (given == nullptr || given[0] == 0) {
        return "?";
    }
    const bool leadByte = codePage == kGbk && static_cast<unsigned char>(given[0]) >= 0x81 && given[1] != 0;
    return std::string_view(given, leadByte ? 2 : 1);
}

std::string ToCodePage(UINT codePage, std::u16string_view text, std::string_view defaultChar, bool& replaced)
{
    replaced = false;
    std::string out;
    Converter converter(IconvName(codePage), "UTF-16LE");
    if (!converter.Valid()) {
        return out;
    }
    const char* bytes = reinterpret_cast<const char*>(text.data());
    const std::size_t length = text.size() * sizeof(char16_t);
    std::size_t at = 0;
    while (at < length) {
        at += converter.Run(bytes + at, length - at, out);
        if (at >= length) {
            break;
        }
        // One UTF-16 unit the code page cannot hold: a character it lacks,
        // or half of a pair, which each count once, as on Windows.
        const char16_t unit = text[at / sizeof(char16_t)];
        if (IsWesternPassThrough(codePage, unit)) {
            out += static_cast<char>(unit);
        } else {
            out += codePage == CP_UTF8 ? std::string_view("\xEF\xBF\xBD") : defaultChar;
            replaced = true;
        }
        at += sizeof(char16_t);
    }
    return out;
}

std::u16string FromCodePage(UINT codePage, std::string_view bytes, bool& invalid)
{
    invalid = false;
    std::u16string result;
    Converter converter("UTF-16LE", IconvName(codePage));
    if (!converter.Valid()) {
        return result;
    }
    std::string out;
    std::size_t at = 0;
    while (at < bytes.size()) {
        at += converter.Run(bytes.data() + at, bytes.size() - at, out);
        if (at >= bytes.size()) {
            break;
        }
        const auto byte = static_cast<unsigned char>(bytes[at]);
        if (IsWesternPassThrough(codePage, byte)) {
            out += static_cast<char>(byte);
            out += '\0';
        } else {
            const char16_t fallback = UnicodeDefaultChar(codePage);
            out += static_cast<char>(fallback & 0xFF);
            out += static_cast<char>(fallback >> 8);
            invalid = true;
        }
        ++at;
    }
    result.resize(out.size() / sizeof(char16_t));
    std::memcpy(result.data(), out.data(), result.size() * sizeof(char16_t));
    return result;
}

}  // namespace host

extern "C" {

UINT WINAPI GetACP(void)
{
    return host::AnsiCodePage();
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar)
{
    const std::optional<UINT> codePage = host::ActualCodePage(CodePage);
    if (!codePage || lpWideCharStr == nullptr || cchWideChar == 0 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && lpMultiByteStr == nullptr)) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    if (*codePage == CP_UTF8) {
        // UTF-8 can hold everything: it takes no default character.
        if ((dwFlags & ~DWORD(WC_ERR_INVALID_CHARS)) != 0) {
            return host::FailWithError(ERROR_INVALID_FLAGS);
        }
        if (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
            return host::FailWithError(ERROR_INVALID_PARAMETER);
        }
    } else if ((dwFlags & ~DWORD(WC_NO_BEST_FIT_CHARS)) != 0) {
        return host::FailWithError(ERROR_INVALID_FLAGS);
    }
    // A length of -1 takes the terminator along.
    const std::size_t units = cchWideChar < 0 ? host::Utf16Length(lpWideCharStr) + 1 : std::size_t(cchWideChar);
    bool replaced = false;
    const std::string text = host::ToCodePage(*codePage, host::AsUtf16(lpWideCharStr, units),
                                              host::DefaultCharOf(*codePage, lpDefaultChar), replaced);
    if (replaced && (dwFlags & WC_ERR_INVALID_CHARS) != 0) {
        return host::FailWithError(ERROR_NO_UNICODE_TRANSLATION);
    }
    if (lpUsedDefaultChar != nullptr) {
        *lpUsedDefaultChar = replaced ? TRUE : FALSE;
    }
    if (cbMultiByte == 0) {
        return static_cast<int>(text.size());
    }
    // Like Windows, a short buffer is filled as far as it goes.
    std::memcpy(lpMultiByteStr, text.data(), std::min(text.size(), std::size_t(cbMultiByte)));
    if (text.size() > std::size_t(cbMultiByte)) {
        return host::FailWithError(ERROR_INSUFFICIENT_BUFFER);
    }
    return static_cast<int>(text.size());
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar)
{
    const std::optional<UINT> codePage = host::ActualCodePage(CodePage);
    if (!codePage || lpMultiByteStr == nullptr || cbMultiByte == 0 || cchWideChar < 0 ||
        (cchWideChar > 0 && lpWideCharStr == nullptr)) {
        return host::FailWithError(ERROR_INVALID_PARAMETER);
    }
    const DWORD allowed = *codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : MB_PRECOMPOSED | MB_ERR_INVALID_CHARS;
    if ((dwFlags & ~allowed) != 0) {
        return host::FailWithError(ERROR_INVALID_FLAGS);
    }
    const std::size_t bytes = cbMultiByte < 0 ? std::strlen(lpMultiByteStr) + 1 : std::size_t(cbMultiByte);
    bool invalid = false;
    const std::u16string text = host::FromCodePage(*codePage, std::string_view(lpMultiByteStr, bytes), invalid);
    if (invalid && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
        return host::FailWithError(ERROR_NO_UNICODE_TRANSLATION);
    }
    if (cchWideChar == 0) {
        return static_cast<int>(text.size());
    }
    std::memcpy(lpWideCharStr, text.data(), std::min(text.size(), std::size_t(cchWideChar)) * sizeof(WCHAR));
    if (text.size() > std::size_t(cchWideChar)) {
        return host::FailWithError(ERROR_INSUFFICIENT_BUFFER);
    }
    return static_cast<int>(text.size());
}

}  // extern "C"
