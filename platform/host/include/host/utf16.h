// UTF-16 text, as Windows APIs carry it, to and from the host's UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace host {

// Length in code units of a NUL-terminated UTF-16 string.
std::size_t Utf16Length(const wchar_t* text);

std::u16string_view AsUtf16(const wchar_t* text);
std::u16string_view AsUtf16(const wchar_t* text, std::size_t units);

// nullopt when the text holds an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Simple Unicode case folding of one code unit, the way Windows compares
// names without regard to case.
char16_t FoldCase(char16_t unit);
bool EqualFolded(std::u16string_view a, std::u16string_view b);

}  // namespace host
