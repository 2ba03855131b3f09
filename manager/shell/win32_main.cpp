// tessaly.exe: the vault manager's program on Windows.
#include "shell/main_window.h"
#include "shell/manager.h"
#include "shell/resource.h"
#include "shell/startup.h"
#include "shell/win32_ui.h"
#include "support/com_objects.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

HICON LoadProgramIcon(HINSTANCE instance, int metricX, int metricY)
{
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TESSALY), IMAGE_ICON,
                                         GetSystemMetrics(metricX), GetSystemMetrics(metricY), LR_DEFAULTCOLOR));
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    using namespace tessaly;
    ComApartment com;
    SingleInstance marker;
    if (marker.AnotherIsRunning()) {
        AskShellToOpenVaultDrive();
        return 0;
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    Win32Ui ui(instance);
    Manager manager(ui, ProgramFolder());
    MainWindow mainWindow(manager);
    HWND window = ui.CreateMainWindow(mainWindow);
    if (window == nullptr) {
        return 1;
    }
    SendMessageW(window, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(LoadProgramIcon(instance, SM_CXICON, SM_CYICON)));
    HICON smallIcon = LoadProgramIcon(instance, SM_CXSMICON, SM_CYSMICON);
    SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon));

    mainWindow.Attach(window, smallIcon);
    mainWindow.SetArguments(ArgumentText(FromWide(GetCommandLineW())));
    mainWindow.Load();
    if (mainWindow.Visible()) {
        ui.ShowForm(mainWindow, true);
    }
    return ui.RunMessageLoop();
}
