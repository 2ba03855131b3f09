// Starting other programs and asking the shell to open things.
#pragma once

#include "support/text.h"

namespace tessaly {

// Starts a program from a command line such as "explorer.exe S:", in a
// normal window that takes the focus. False when it could not start.
bool StartProgram(const Text& commandLine);

// Asks the shell to open a file or a drive with its "open" verb, in a
// normal window. False when the shell refused.
bool ShellOpen(const Text& target);

}  // namespace tessaly
