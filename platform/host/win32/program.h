// The running program as Windows would know it: its file and command line.
#pragma once

#include <optional>
#include <string>

namespace host {

// The program's Windows path; none until a knob sets it.
std::optional<std::u16string> ProgramFile();

}  // namespace host
