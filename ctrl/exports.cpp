// The nine exports of Pellix.dll. The service exports work through one
// process-wide driver-control object, made by install or start and
// destroyed by uninstall or stop; the mount exports need only that the
// driver runs. Inside, results are bool; the exports answer 1 or 0.
#define PELLIX_BUILDING
#include "pellix.h"

#include "caller_input.h"
#include "driver_control.h"
#include "mount.h"

#include <optional>

namespace {

std::optional<CNtDriverControl> g_DriverControl;

int Answer(bool result)
{
    return result ? 1 : 0;
}

bool OpenAndStart(LPCWSTR serviceName, LPCWSTR driverPath, DWORD startType, BOOL createMode)
{
    if (g_DriverControl) {
        return false;
    }
    CNtDriverControl& control = g_DriverControl.emplace(serviceName, nullptr, driverPath, startType, createMode);
    // The object stays after a failure: the client stops or uninstalls first.
    return control.OpenDriver() && control.StartDriver();
}

}  // namespace

extern "C" {

int WINAPI SysDiskInstall(LPCWSTR serviceName, LPCWSTR driverPath, DWORD startType)
{
    if (!FitsName(serviceName) || !FitsName(driverPath)) {
        return Answer(Refuse());
    }
    return Answer(OpenAndStart(serviceName, driverPath, startType, TRUE));
}

int WINAPI SysDiskStart(LPCWSTR serviceName)
{
    if (!FitsName(serviceName)) {
        return Answer(Refuse());
    }
    return Answer(OpenAndStart(serviceName, nullptr, SERVICE_AUTO_START, FALSE));
}

int WINAPI SysDiskUnInstall(void)
{
    if (g_DriverControl) {
        g_DriverControl->StopDriver();
        g_DriverControl->RemoveDriver();
        g_DriverControl.reset();
    }
    return 1;
}

int WINAPI SysDiskStop(void)
{
    if (g_DriverControl) {
        g_DriverControl->StopDriver();
        g_DriverControl.reset();
    }
    return 1;
}

int WINAPI SysDiskMount(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive)
{
    return Answer(MountPlain(deviceNumber, imagePath, sizeMegabytes, drive));
}

int WINAPI SysDiskMountEx(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password, LPCWSTR drive)
{
    return Answer(MountVault(deviceNumber, imagePath, sizeMegabytes, password, drive));
}

int WINAPI SysDiskUnMount(LPCWSTR drive, int force)
{
    return Answer(DismountPlain(drive, force != 0));
}

int WINAPI SysDiskUnMountEx(LPCWSTR drive, int force)
{
    return Answer(DismountVault(drive, force != 0));
}

int WINAPI SysDiskChangePWD(LPCWSTR drive, LPCWSTR newPassword)
{
    return Answer(ChangeVaultPassword(drive, newPassword));
}

}  // extern "C"
