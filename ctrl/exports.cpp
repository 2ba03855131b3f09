// The nine exports of Pellix.dll. The service exports work through one
// process-wide driver-control object, made by install or start and
// destroyed by uninstall or stop; the mount exports need only that the
// driver runs.
#define PELLIX_BUILDING
#include "pellix.h"

#include "driver_control.h"
#include "mount.h"

namespace {

CNtDriverControl* g_DriverControl = nullptr;

// Names that do not fit the object's fixed fields are refused.
bool FitsName(LPCWSTR text)
{
    return text != nullptr && lstrlenW(text) < CNtDriverControl::NameChars;
}

int Refuse()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

int OpenAndStart(LPCWSTR serviceName, LPCWSTR driverPath, DWORD startType, BOOL createMode)
{
    if (g_DriverControl != nullptr) {
        return 0;
    }
    g_DriverControl = new CNtDriverControl(serviceName, nullptr, driverPath, startType, createMode);
    // The object stays after a failure: the client stops or uninstalls first.
    return g_DriverControl->OpenDriver() ? g_DriverControl->StartDriver() : 0;
}

void DestroyDriverControl()
{
    delete g_DriverControl;
    g_DriverControl = nullptr;
}

}  // namespace

extern "C" {

int WINAPI SysDiskInstall(LPCWSTR serviceName, LPCWSTR driverPath, DWORD startType)
{
    if (!FitsName(serviceName) || !FitsName(driverPath)) {
        return Refuse();
    }
    return OpenAndStart(serviceName, driverPath, startType, TRUE);
}

int WINAPI SysDiskStart(LPCWSTR serviceName)
{
    if (!FitsName(serviceName)) {
        return Refuse();
    }
    return OpenAndStart(serviceName, nullptr, SERVICE_AUTO_START, FALSE);
}

int WINAPI SysDiskUnInstall(void)
{
    if (g_DriverControl != nullptr) {
        g_DriverControl->StopDriver();
        g_DriverControl->RemoveDriver();
        DestroyDriverControl();
    }
    return 1;
}

int WINAPI SysDiskStop(void)
{
    if (g_DriverControl != nullptr) {
        g_DriverControl->StopDriver();
        DestroyDriverControl();
    }
    return 1;
}

int WINAPI SysDiskMount(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive)
{
    return MountPlain(deviceNumber, imagePath, sizeMegabytes, drive);
}

int WINAPI SysDiskMountEx(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password, LPCWSTR drive)
{
    return MountVault(deviceNumber, imagePath, sizeMegabytes, password, drive);
}

int WINAPI SysDiskUnMount(LPCWSTR drive, int force)
{
    return DismountPlain(drive, force);
}

int WINAPI SysDiskUnMountEx(LPCWSTR drive, int force)
{
    return DismountVault(drive, force);
}

int WINAPI SysDiskChangePWD(LPCWSTR drive, LPCWSTR newPassword)
{
    return ChangeVaultPassword(drive, newPassword);
}

}  // extern "C"
