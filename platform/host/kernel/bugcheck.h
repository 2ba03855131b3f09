// A stop error: the host's answer to a call that would crash Windows.
#pragma once

namespace host {

[[noreturn]] void BugCheck(const char* what, const char* detail);

}  // namespace host
