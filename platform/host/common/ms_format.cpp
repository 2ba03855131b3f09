#include "ms_format.h"

#include <host/utf16.h>

#include <ntdef.h>

#include <cstdio>
#include <cstring>

namespace host {

namespace {

enum class Width { Default, Short, Char, Long32, Long64, Pointer, Wide, Narrow };

struct Directive {
    std::string flags;
    int width = -1;
    int precision = -1;
    Width size = Width::Default;
    char conversion = 0;
};

std::string Pad(std::string text, const Directive& directive)
{
    if (directive.width > 0 && text.size() < static_cast<std::size_t>(directive.width)) {
        std::size_t fill = static_cast<std::size_t>(directive.width) - text.size();
        if (directive.flags.find('-') != std::string::npos) {
            text.append(fill, ' ');
        } else {
            text.insert(0, fill, ' ');
        }
    }
    return text;
}

std::string WideText(const wchar_t* text, int precision)
{
    if (text == nullptr) {
        return "(null)";
    }
    std::size_t units = Utf16Length(text);
    if (precision >= 0 && units > static_cast<std::size_t>(precision)) {
        units = static_cast<std::size_t>(precision);
    }
    return Utf16ToUtf8(AsUtf16(text, units)).value_or("?");
}

std::string NarrowText(const char* text, int precision)
{
    if (text == nullptr) {
        return "(null)";
    }
    std::size_t bytes = std::strlen(text);
    if (precision >= 0 && bytes > static_cast<std::size_t>(precision)) {
        bytes = static_cast<std::size_t>(precision);
    }
    return std::string(text, bytes);
}

std::string WideChar(unsigned unit)
{
    wchar_t text[2] = {static_cast<wchar_t>(unit), 0};
    return Utf16ToUtf8(AsUtf16(text, 1)).value_or("?");
}

// Formats one integer conversion with glibc, after reading the argument at
// the width Windows gives it.
std::string Integer(const Directive& directive, va_list& args)
{
    const bool isSigned = directive.conversion == 'd' || directive.conversion == 'i';
    long long value = 0;
    switch (directive.size) {
    case Width::Long64:
        value = va_arg(args, long long);
        break;
    case Width::Pointer:
        value = isSigned ? static_cast<long long>(va_arg(args, std::intptr_t))
                         : static_cast<long long>(va_arg(args, std::uintptr_t));
        break;
    case Width::Short:
        value = isSigned ? static_cast<short>(va_arg(args, int)) : static_cast<unsigned short>(va_arg(args, int));
        break;
    case Width::Char:
        value = isSigned ? static_cast<signed char>(va_arg(args, int)) : static_cast<unsigned char>(va_arg(args, int));
        break;
    default:
        value = isSigned ? static_cast<long long>(va_arg(args, int)) : static_cast<long long>(va_arg(args, unsigned));
        break;
    }
    std::string format = "%" + directive.flags;
    if (directive.width >= 0) {
        format += std::to_string(directive.width);
    }
    if (directive.precision >= 0) {
        format += "." + std::to_string(directive.precision);
    }
    format += "ll";
    format += directive.conversion;
    char out[128];
    std::snprintf(out, sizeof out, format.c_str(), value);
    return out;
}

}  // namespace

std::string FormatMs(const char* format, va_list incoming, bool wideFunction)
{
    va_list args;
    va_copy(args, incoming);
    std::string out;
    for (const char* p = format; *p != 0; ++p) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        ++p;
        if (*p == '%') {
            out += '%';
            continue;
        }
        Directive directive;
        while (*p != 0 && std::strchr("-+ #0", *p) != nullptr) {
            directive.flags += *p++;
        }
        if (*p == '*') {
            directive.width = va_arg(args, int);
            if (directive.width < 0) {
                directive.flags += '-';
                directive.width = -directive.width;
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') {
                directive.width = (directive.width < 0 ? 0 : directive.width * 10) + (*p++ - '0');
            }
        }
        if (*p == '.') {
            ++p;
            directive.precision = 0;
            if (*p == '*') {
                directive.precision = va_arg(args, int);
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') {
                    directive.precision = directive.precision * 10 + (*p++ - '0');
                }
            }
        }
        if (std::strncmp(p, "I64", 3) == 0) {
            directive.size = Width::Long64;
            p += 3;
        } else if (std::strncmp(p, "I32", 3) == 0) {
            directive.size = Width::Long32;
            p += 3;
        } else if (*p == 'I' || *p == 'z') {
            directive.size = Width::Pointer;
            ++p;
        } else if (p[0] == 'l' && p[1] == 'l') {
            directive.size = Width::Long64;
            p += 2;
        } else if (p[0] == 'h' && p[1] == 'h') {
            directive.size = Width::Char;
            p += 2;
        } else if (*p == 'l') {
            directive.size = Width::Long32;
            ++p;
        } else if (*p == 'w') {
            directive.size = Width::Wide;
            ++p;
        } else if (*p == 'h') {
            directive.size = Width::Short;
            ++p;
        }
        directive.conversion = *p;
        if (directive.conversion == 0) {
            break;
        }
        const bool wideText = directive.size == Width::Wide || directive.size == Width::Long32 ||
                              (wideFunction && directive.size != Width::Short);
        switch (directive.conversion) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
        case 'o':
            out += Integer(directive, args);
            break;
        case 'p': {
            char text[40];
            std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(2 * sizeof(void*)),
                          static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(va_arg(args, void*))));
            out += Pad(text, directive);
            break;
        }
        case 's':
            out += Pad(wideText ? WideText(va_arg(args, const wchar_t*), directive.precision)
                                : NarrowText(va_arg(args, const char*), directive.precision),
                       directive);
            break;
        case 'S':
            out += Pad(wideFunction && directive.size != Width::Wide && directive.size != Width::Long32
                           ? NarrowText(va_arg(args, const char*), directive.precision)
                           : WideText(va_arg(args, const wchar_t*), directive.precision),
                       directive);
            break;
        case 'c':
            out += Pad(wideText ? WideChar(static_cast<unsigned>(va_arg(args, int)))
                                : std::string(1, static_cast<char>(va_arg(args, int))),
                       directive);
            break;
        case 'C':
            out += Pad(WideChar(static_cast<unsigned>(va_arg(args, int))), directive);
            break;
        case 'Z': {
            if (directive.size == Width::Wide) {
                auto* text = va_arg(args, const UNICODE_STRING*);
                out += Pad(text == nullptr || text->Buffer == nullptr
                               ? std::string("(null)")
                               : Utf16ToUtf8(AsUtf16(text->Buffer, text->Length / sizeof(WCHAR))).value_or("?"),
                           directive);
            } else {
                auto* text = va_arg(args, const ANSI_STRING*);
                out += Pad(text == nullptr || text->Buffer == nullptr ? std::string("(null)")
                                                                      : std::string(text->Buffer, text->Length),
                           directive);
            }
            break;
        }
        default:
            // Conversions the kernel's formatter does not know are printed as written.
            out += '%';
            out += directive.conversion;
            break;
        }
    }
    va_end(args);
    return out;
}

int CopyMsResult(const std::string& text, char* buffer, std::size_t count)
{
    if (text.size() < count) {
        std::memcpy(buffer, text.data(), text.size());
        buffer[text.size()] = 0;
        return static_cast<int>(text.size());
    }
    std::memcpy(buffer, text.data(), count);
    return text.size() == count ? static_cast<int>(count) : -1;
}

}  // namespace host
