#include "help_text.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace korvel::chm {

namespace {

struct IconvCloser {
    void operator()(iconv_t converter) const { iconv_close(converter); }
};
using UniqueIconv = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

Outcome<std::string> Convert(const char* to, const char* from, std::string_view input)
{
    UniqueIconv converter(iconv_open(to, from));
    if (converter.get() == reinterpret_cast<iconv_t>(-1)) {
        converter.release();
        return Failure{std::string("no conversion from ") + from + " to " + to};
    }
    std::string output(input.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
        return Failure{std::string("not valid ") + from + " at byte " + std::to_string(input.size() - inLeft)};
    }
    output.resize(output.size() - outLeft);
    return output;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

Outcome<std::string> Gb2312ToUtf8(std::span<const std::uint8_t> bytes)
{
    return Convert("UTF-8", "GB2312", std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string Utf8ToGb2312(std::string_view text)
{
    auto converted = Convert("GB2312", "UTF-8", text);
    return converted ? converted.Value() : std::string();
}

std::string Utf16ToUtf8(std::u16string_view text)
{
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    auto converted = Convert("UTF-8", "UTF-16LE", bytes);
    return converted ? converted.Value() : std::string();
}

std::vector<std::string> AttributeValues(std::string_view html, std::string_view attribute)
{
    std::vector<std::string> values;
    for (std::size_t at = 0; at + attribute.size() + 2 < html.size(); ++at) {
        const bool startsWord = at > 0 && std::isspace(static_cast<unsigned char>(html[at - 1]));
        if (!startsWord || !EqualsIgnoringCase(html.substr(at, attribute.size()), attribute) ||
            html.substr(at + attribute.size(), 2) != "=\"") {
            continue;
        }
        const std::size_t start = at + attribute.size() + 2;
        const std::size_t end = html.find('"', start);
        if (end == std::string_view::npos) {
            break;
        }
        values.emplace_back(html.substr(start, end - start));
        at = end;
    }
    return values;
}

std::vector<std::string> SitemapValues(std::string_view sitemap, std::string_view paramName)
{
    std::vector<std::string> values;
    const std::string key = "<param name=\"" + std::string(paramName) + "\" value=\"";
    for (std::size_t at = sitemap.find(key); at != std::string_view::npos; at = sitemap.find(key, at + 1)) {
        const std::size_t start = at + key.size();
        const std::size_t end = sitemap.find('"', start);
        if (end == std::string_view::npos) {
            break;
        }
        values.emplace_back(sitemap.substr(start, end - start));
    }
    return values;
}

std::string VisibleText(std::string_view html)
{
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<') {
            inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (!inTag) {
            text.push_back(c);
        }
    }
    text = ReplaceAll(std::move(text), "&lt;", "<");
    text = ReplaceAll(std::move(text), "&gt;", ">");
    text = ReplaceAll(std::move(text), "&quot;", "\"");
    return ReplaceAll(std::move(text), "&amp;", "&");
}

std::string EntryOfLink(std::string_view link)
{
    if (link.empty() || link[0] == '#' || link.find(':') != std::string_view::npos) {
        return {};
    }
    return "/" + std::string(link.substr(0, link.find('#')));
}

}  // namespace korvel::chm
