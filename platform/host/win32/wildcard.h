// File name patterns as FindFirstFileW matches them.
#pragma once

#include <string_view>

namespace host {

// "*" stands for any run of characters, "?" for any one; letters match
// without regard to case. As on Windows, a pattern ending in ".*" also
// matches names without that extension ("*.*" matches every name, "name.*"
// matches "name").
bool MatchesWildcard(std::u16string_view pattern, std::u16string_view name);

}  // namespace host
