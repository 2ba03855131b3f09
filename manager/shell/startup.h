// The start of the manager: one instance per session, its program folder,
// its command line, the start-with-Windows entry and the driver service.
#pragma once

#include "support/text.h"

namespace tessaly {

struct Manager;

// Holds the session's single-instance marker for the life of the process.
class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when another manager of this session held the marker first.
    bool AnotherIsRunning() const { return m_AnotherIsRunning; }

private:
    HANDLE m_Marker = nullptr;
    bool m_AnotherIsRunning = false;
};

// A second start only asks the shell to open the vault drive S:; whatever
// the shell answers, the second start then ends.
void AskShellToOpenVaultDrive();

// The folder of the running program file, without a trailing backslash.
Text ProgramFolder();
Text FolderOf(const Text& filePath);

// What follows the program's name (and the blanks after it) on a command
// line, as the program sees its arguments.
Text ArgumentText(const Text& commandLine);

// The Run entry's text for this program folder.
Text RunCommandFor(const Text& programFolder);

// Rewrites the start-with-Windows entry when it differs from this
// program's (also when it is missing). True when it was written.
bool UpdateRunEntry(Manager& manager);

// Installs and starts the driver service. On failure the service is
// uninstalled again and the user is told; the caller then ends.
bool StartDriverService(Manager& manager);

}  // namespace tessaly
