// What the installer asks of the system. Windows answers through
// win32_installer_system.cpp; host tests answer from a table of files.
#pragma once

#include "setup/install_decisions.h"
#include "shell/ui.h"

namespace setup {

using tessaly::MessageAnswer;
using tessaly::MessageButtons;

class InstallerSystem {
public:
    virtual bool Is64BitWindows() = 0;
    virtual Text SystemDirectory() = 0;
    // The last-modification time of the installer's own file, in seconds.
    virtual std::int64_t InstallerTime() = 0;
    virtual FileStatus Status(const Text& path) = 0;
    virtual bool CreateFolder(const Text& path) = 0;
    virtual MessageAnswer ShowMessage(const Text& text, const Text& caption, MessageButtons buttons) = 0;
    // The size of a carried file, 0 when the installer does not carry it.
    virtual std::uint64_t CarriedSize(int id) = 0;
    // Writes a carried file, replacing whatever is there. False when the
    // file is not carried or cannot be written.
    virtual bool WriteCarried(int id, const Text& path) = 0;
    // "a.b.c.d" from the file's version resource; "" when it has none.
    virtual Text FileVersion(const Text& path) = 0;
    // Clears read-only, hidden and system.
    virtual void MakeNormal(const Text& path) = 0;
    virtual Text DesktopFolder() = 0;
    virtual bool MakeShortcut(const Text& link, const Text& target, const Text& workingFolder,
                              const Text& description) = 0;
    // Starts the program through the shell's "open" verb, shown normally,
    // with its folder as the working folder.
    virtual void StartProgram(const Text& path, const Text& workingFolder) = 0;

protected:
    ~InstallerSystem() = default;
};

}  // namespace setup
