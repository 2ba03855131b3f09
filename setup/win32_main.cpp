// setup.exe: one run of the installer, without a window of its own.
#include "setup/installer.h"
#include "setup/win32_installer_system.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    setup::Win32InstallerSystem system;
    setup::RunInstaller(system);
    return 0;
}
