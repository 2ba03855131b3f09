// Texts of the vault manager: UTF-16 strings, as Windows keeps them. The
// manager holds them as std::u16string (std::wstring would follow the C
// library's idea of wchar_t, which is not 16 bits everywhere we build) and
// hands them to the W functions through the helpers below.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tessaly {

using Text = std::u16string;
using TextView = std::u16string_view;

// A NUL-terminated text as the W functions take it.
inline LPCWSTR Wide(const Text& text)
{
    return reinterpret_cast<LPCWSTR>(text.c_str());
}

inline LPWSTR WideBuffer(Text& buffer)
{
    return reinterpret_cast<LPWSTR>(buffer.data());
}

// A text that a W function wrote, up to its first NUL.
Text FromWide(const WCHAR* text);
// The first `count` units of a buffer, up to its first NUL.
Text FromWide(const WCHAR* text, std::size_t count);

// The text without any NUL character.
Text WithoutNuls(TextView text);

// Upper case for ASCII letters only; other characters stay as they are.
Text AsciiUpper(TextView text);
char16_t AsciiUpper(char16_t unit);
// Equal when letter case is ignored (ASCII letters).
bool EqualsIgnoringCase(TextView a, TextView b);

bool Contains(TextView text, TextView part);
// The text before the first occurrence of `marker`, or all of it.
Text Before(TextView text, TextView marker);
// The first `count` units, or all of a shorter text.
Text Left(TextView text, std::size_t count);
// The last `count` units, or all of a shorter text.
Text Right(TextView text, std::size_t count);
// Blanks (U+0020 only) removed at both ends.
Text TrimBlanks(TextView text);

// Decimal text of an integer, without blanks.
Text DecimalText(long long value);

// UTF-8 for logs and test messages.
std::string Utf8(TextView text);

}  // namespace tessaly
