// printf formatting as the Microsoft C runtime and the NT kernel do it.
//
// Differences from glibc that matter to Windows code: "l" means 32 bits,
// "I64" and "ll" 64 bits, "I" pointer width; %S, %ls and %ws print a UTF-16
// string (and in the wide functions %s does too); %wZ and %Z print a counted
// UNICODE_STRING or ANSI_STRING; %p prints every digit of the pointer in
// upper-case hexadecimal. UTF-16 text comes out as UTF-8.
#pragma once

#include <cstdarg>
#include <string>

namespace host {

// wideFunction: the format belongs to a wide function (swprintf and kin),
// where %s and %c take wide arguments and %S and %C narrow ones.
std::string FormatMs(const char* format, va_list args, bool wideFunction);

// The Microsoft _vsnprintf contract: writes at most `count` bytes; a NUL
// follows only when the text is shorter than `count`. Returns the length of
// the text, or -1 when it did not fit.
int CopyMsResult(const std::string& text, char* buffer, std::size_t count);

}  // namespace host
