// The vault manager on a scratch drive C:, with the host builds of the
// driver and the control library in C:\Software under their Windows names,
// the program file C:\Software\tessaly.exe, an empty registry that has the
// Run key, an empty desktop with one window standing in for the main
// window, and the test clock.
#pragma once

#include "shell/main_window.h"
#include "shell/manager.h"
#include "support/scratch_drive.h"
#include "scripted_ui.h"

#include <memory>
#include <string>

namespace korvel::test {

class ManagerTest : public ScratchDriveTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The Run key's path under HKEY_LOCAL_MACHINE, ANSI.
    static constexpr const char* kRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    // The "tessaly" value as stored (UTF-16), or "<none>".
    std::string StoredRunValue() const;
    void StoreRunValue(const std::string& data) const;

    // Makes a file of `bytes` (sparse) at C:\<relative>, with Windows
    // attributes.
    void MakeFile(const std::string& relative, std::uint64_t bytes, DWORD attributes = 0) const;
    // Loads the main window as the program does with `arguments`.
    void LoadMainWindow(const char16_t* arguments = u"");
    // Starts the driver service, as an earlier start of the manager leaves it.
    bool StartDriverService();
    // Mounts C:\<relative> as S: through the control library, as the open
    // dialog would (starting the driver service first), and reports whether
    // it worked.
    bool MountVault(const std::string& relative, const char16_t* password, int sizeMegabytes);
    // The program starts recorded, as command lines in UTF-8.
    std::vector<std::string> StartedCommandLines() const;

    ScriptedUi m_Ui;
    HWND m_Window = nullptr;
    HICON m_Icon = reinterpret_cast<HICON>(0x5A1F);
    std::unique_ptr<tessaly::Manager> m_Manager;
    // The library as another program loaded it, to start the driver service.
    std::unique_ptr<tessaly::PellixLibrary> m_OtherPellix;
    std::unique_ptr<tessaly::MainWindow> m_Main;
};

}  // namespace korvel::test
