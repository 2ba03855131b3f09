// Asking for a password: the prompt on standard error, the answer read from
// standard input without echo when that is a terminal.
#pragma once

#include <optional>
#include <string>

namespace vault_tool {

// The line typed, without its line end; nothing at the end of the input.
std::optional<std::string> AskSecret(const std::string& prompt);

}  // namespace vault_tool
