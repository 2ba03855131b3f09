#include "wildcard.h"

#include <host/utf16.h>

namespace host {

namespace {

// Greedy matching with one point to come back to: the last "*" seen.
bool Matches(std::u16string_view pattern, std::u16string_view name)
{
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t starAt = std::u16string_view::npos;
    std::size_t resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::u16string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name)
{
    if (Matches(pattern, name)) {
        return true;
    }
    constexpr std::u16string_view kAnyExtension = u".*";
    if (pattern.size() >= kAnyExtension.size() && pattern.substr(pattern.size() - kAnyExtension.size()) == kAnyExtension) {
        const std::u16string_view stem = pattern.substr(0, pattern.size() - kAnyExtension.size());
        return name.find(u'.') == std::u16string_view::npos && Matches(stem, name);
    }
    return false;
}

}  // namespace host
