// The installer's system on Windows: its own resources, files, version
// resources, message boxes, the shell's link object and verbs.
#pragma once

#include "setup/installer_system.h"

namespace setup {

class Win32InstallerSystem final : public InstallerSystem {
public:
    // ^InstallerSystem
    bool Is64BitWindows() override;
    Text SystemDirectory() override;
    std::int64_t InstallerTime() override;
    FileStatus Status(const Text& path) override;
    bool CreateFolder(const Text& path) override;
    MessageAnswer ShowMessage(const Text& text, const Text& caption, MessageButtons buttons) override;
    std::uint64_t CarriedSize(int id) override;
    bool WriteCarried(int id, const Text& path) override;
    Text FileVersion(const Text& path) override;
    void MakeNormal(const Text& path) override;
    Text DesktopFolder() override;
    bool MakeShortcut(const Text& link, const Text& target, const Text& workingFolder,
                      const Text& description) override;
    void StartProgram(const Text& path, const Text& workingFolder) override;
};

}  // namespace setup
