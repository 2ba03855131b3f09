// The nine exports of Pellix.dll, for clients that bind them by name.
// Every string is a NUL-terminated UTF-16 string; every result is 1 for
// success and 0 for failure. The 32-bit library exports them as stdcall
// functions under their plain names.
#pragma once

#include <windows.h>

extern "C" {

typedef int(WINAPI* SysDiskInstallFn)(LPCWSTR serviceName, LPCWSTR driverPath, DWORD startType);
typedef int(WINAPI* SysDiskUnInstallFn)(void);
typedef int(WINAPI* SysDiskStartFn)(LPCWSTR serviceName);
typedef int(WINAPI* SysDiskStopFn)(void);
typedef int(WINAPI* SysDiskMountFn)(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive);
typedef int(WINAPI* SysDiskMountExFn)(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password,
                                      LPCWSTR drive);
typedef int(WINAPI* SysDiskUnMountFn)(LPCWSTR drive, int force);
typedef int(WINAPI* SysDiskUnMountExFn)(LPCWSTR drive, int force);
typedef int(WINAPI* SysDiskChangePWDFn)(LPCWSTR drive, LPCWSTR newPassword);

#ifdef PELLIX_BUILDING
int WINAPI SysDiskInstall(LPCWSTR serviceName, LPCWSTR driverPath, DWORD startType);
int WINAPI SysDiskUnInstall(void);
int WINAPI SysDiskStart(LPCWSTR serviceName);
int WINAPI SysDiskStop(void);
int WINAPI SysDiskMount(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive);
int WINAPI SysDiskMountEx(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password, LPCWSTR drive);
int WINAPI SysDiskUnMount(LPCWSTR drive, int force);
int WINAPI SysDiskUnMountEx(LPCWSTR drive, int force);
int WINAPI SysDiskChangePWD(LPCWSTR drive, LPCWSTR newPassword);
#endif

}  // extern "C"
