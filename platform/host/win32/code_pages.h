// Conversions between UTF-16 and the code pages this host knows: 65001
// (UTF-8), 936 (GBK, as Simplified Chinese Windows has it) and 1252 (Western
// European Windows). The ANSI code page is one of them, set by a knob.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace host {

UINT AnsiCodePage();

// CP_ACP becomes the ANSI code page; none for a code page this host lacks.
std::optional<UINT> ActualCodePage(UINT codePage);

// Characters the code page cannot hold become `defaultChar`, and an unpaired
// surrogate becomes U+FFFD in UTF-8; `replaced` says whether any did.
std::string ToCodePage(UINT codePage, std::u16string_view text, std::string_view defaultChar, bool& replaced);

// The default character a caller gave (lpDefaultChar): one character of the
// code page, which in 936 may take two bytes.
std::string_view DefaultCharOf(UINT codePage, const char* given);

// Byte sequences the code page does not define become its Unicode default
// character; `invalid` says whether any did.
std::u16string FromCodePage(UINT codePage, std::string_view bytes, bool& invalid);

}  // namespace host
