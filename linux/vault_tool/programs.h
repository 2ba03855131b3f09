// The programs the tool hands work to (ntfs-3g, losetup, umount), found with
// host::FindSystemProgram: run without a shell, so that no file name is ever
// parsed as a command.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vault_tool {

struct ProgramOutcome {
    int exitCode = -1;   // -1 when it could not start or was killed
    std::string output;  // standard output and standard error together
};

// Runs `arguments` (the program's path first) to its end.
ProgramOutcome RunProgram(const std::vector<std::string>& arguments);

// Starts `arguments` with its output into `outputFd`, with the default
// signal mask and handlers; -1 when it could not start.
pid_t StartProgram(const std::vector<std::string>& arguments, int outputFd);

}  // namespace vault_tool
