#include "support/text.h"

namespace tessaly {

Text FromWide(const WCHAR* text)
{
    Text result;
    if (text != nullptr) {
        for (; *text != 0; ++text) {
            result.push_back(static_cast<char16_t>(*text));
        }
    }
    return result;
}

Text FromWide(const WCHAR* text, std::size_t count)
{
    Text result;
    for (std::size_t i = 0; i < count && text[i] != 0; ++i) {
        result.push_back(static_cast<char16_t>(text[i]));
    }
    return result;
}

Text WithoutNuls(TextView text)
{
    Text result;
    for (char16_t unit : text) {
        if (unit != 0) {
            result.push_back(unit);
        }
    }
    return result;
}

char16_t AsciiUpper(char16_t unit)
{
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

Text AsciiUpper(TextView text)
{
    Text result(text);
    for (char16_t& unit : result) {
        unit = AsciiUpper(unit);
    }
    return result;
}

bool EqualsIgnoringCase(TextView a, TextView b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

bool Contains(TextView text, TextView part)
{
    return text.find(part) != TextView::npos;
}

Text Before(TextView text, TextView marker)
{
    return Text(text.substr(0, text.find(marker)));
}

Text Left(TextView text, std::size_t count)
{
    return Text(text.substr(0, count));
}

Text Right(TextView text, std::size_t count)
{
    return Text(count >= text.size() ? text : text.substr(text.size() - count));
}

Text TrimBlanks(TextView text)
{
    const std::size_t first = text.find_first_not_of(u' ');
    if (first == TextView::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(u' ');
    return Text(text.substr(first, last - first + 1));
}

Text DecimalText(long long value)
{
    const std::string digits = std::to_string(value);
    return Text(digits.begin(), digits.end());
}

std::string Utf8(TextView text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (code < 0x80) {
            out.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (code >> 6)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (code >> 12)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (code >> 18)));
            out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return out;
}

}  // namespace tessaly
