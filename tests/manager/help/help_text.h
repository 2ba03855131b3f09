// Text helpers for checking the help's pages: the code page they are
// compiled in, and the links and sitemap entries inside them.
#pragma once

#include "outcome.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvel::chm {

// Strict GB2312, the help's code page, to UTF-8; bytes GB2312 does not
// define are a failure, not replaced.
Outcome<std::string> Gb2312ToUtf8(std::span<const std::uint8_t> bytes);
std::string Utf8ToGb2312(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// The values of every attribute of the given name (href, src) in a page.
std::vector<std::string> AttributeValues(std::string_view html, std::string_view attribute);
// The value of every <param name="..." value="..."> of the given name in a
// sitemap (the contents or index file).
std::vector<std::string> SitemapValues(std::string_view sitemap, std::string_view paramName);
// A page's text as a reader sees it: tags dropped, the entities we write
// (&lt; &gt; &amp; &quot;) turned back into their characters.
std::string VisibleText(std::string_view html);

// A link target inside the help, as a directory entry ("/images/a.png"),
// or empty for a link that leaves the help (http:, mailto:) or stays on
// the page (#...).
std::string EntryOfLink(std::string_view link);

}  // namespace korvel::chm
