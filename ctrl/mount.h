// Mounting an image file as a drive letter, taking it away again, and
// changing the password of a mounted vault. Each call opens what it needs,
// sends its requests and closes it again. A false result leaves the reason
// as the thread's last error.
#pragma once

#include <windows.h>

// The vault disk driver (units \Device\VantorDevice<n>).
bool MountVault(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR password, LPCWSTR drive);
bool DismountVault(LPCWSTR drive, bool force);
bool ChangeVaultPassword(LPCWSTR drive, LPCWSTR newPassword);

// A plain disk-image driver (devices \Device\PlainDisk\PlainDisk<n>).
bool MountPlain(DWORD deviceNumber, LPCWSTR imagePath, int sizeMegabytes, LPCWSTR drive);
bool DismountPlain(LPCWSTR drive, bool force);

// Writes `label`, a blank and the system's text for the thread's last error
// to standard error.
void ReportLastError(LPCWSTR label);
