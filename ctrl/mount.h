// Mounting an image file as a drive letter, taking it away again, and
// changing the password of a mounted vault. Each call opens what it needs,
// sends its requests and closes it again.
#pragma once

#include <windows.h>

// The vault disk driver (units \Device\VantorDevice<n>).
int MountVault(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password, LPCWSTR drive);
int DismountVault(LPCWSTR drive, int force);
int ChangeVaultPassword(LPCWSTR drive, LPCWSTR newPassword);

// A plain disk-image driver (devices \Device\PlainDisk\PlainDisk<n>).
int MountPlain(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive);
int DismountPlain(LPCWSTR drive, int force);

// Writes `label`, a blank and the system's text for the thread's last error
// to standard error.
void ReportLastError(LPCWSTR label);
