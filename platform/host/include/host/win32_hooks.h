// Knobs of the host's Win32 layer for tests and tours. Product code never
// includes this header.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace host {

// --- Sleep ----------------------------------------------------------------
// With the test clock on, Sleep returns at once and only records how long it
// was asked to sleep.
void UseTestClock(bool on);
std::vector<DWORD> SleptMilliseconds();

// --- Service control manager ----------------------------------------------
// Stops every running service and forgets every service.
void ResetServiceManager();
// Makes OpenSCManagerW fail with ERROR_ACCESS_DENIED, as for a user who is
// not an administrator.
void RefuseServiceManager(bool refuse);
// Makes QueryServiceStatus report `state` and `waitHint` for the service,
// whatever it really does; state 0 stops that.
void ForceServiceStatus(const std::u16string& serviceName, DWORD state, DWORD waitHint);

// --- Code pages -----------------------------------------------------------
// The ANSI code page (GetACP, CP_ACP): 65001 (UTF-8, the default), 936 (GBK,
// Simplified Chinese Windows) or 1252 (Western European Windows). False, and
// nothing changed, for any other.
bool SetAnsiCodePage(UINT codePage);

// --- Registry -------------------------------------------------------------
// Forgets every key and value; the predefined hives are left empty. Handles
// still open then refer to deleted keys.
void ResetRegistry();
// Makes a key and every key below it, now or later, refuse write access, as
// HKEY_LOCAL_MACHINE does for a user who is not an administrator: opening
// for writing and creating keys there fail with ERROR_ACCESS_DENIED. Handles
// opened for writing before keep their access, as on Windows. `subKey` is
// UTF-16, "" for the hive itself. False when the key does not exist.
bool RefuseRegistryWrites(HKEY hive, const std::u16string& subKey);

struct StoredRegistryValue {
    DWORD type = 0;
    std::vector<BYTE> data;  // as kept: string types in UTF-16
};
// A value as the registry keeps it, whatever the ANSI functions show.
std::optional<StoredRegistryValue> ReadStoredRegistryValue(HKEY hive, const std::u16string& subKey,
                                                           const std::u16string& valueName);

// --- The program ----------------------------------------------------------
// The Windows path of the running program, for GetModuleFileNameW(NULL) and
// for finding libraries by bare name; "" means none, and the command line
// goes back to its default: the program file in quotes.
void SetProgramFile(const std::u16string& windowsPath);
// What GetCommandLineW answers from now on.
void SetCommandLineText(const std::u16string& commandLine);

// --- Processes ------------------------------------------------------------
// A program start that CreateProcessW recorded; this host runs no Windows
// programs. Unset fields were passed as NULL.
struct ProcessStart {
    std::optional<std::u16string> applicationName;
    std::optional<std::u16string> commandLine;
    std::optional<std::u16string> currentDirectory;
    std::optional<WORD> showWindow;  // only with STARTF_USESHOWWINDOW
    DWORD creationFlags = 0;
};
std::vector<ProcessStart> RecordedProcessStarts();
void ClearRecordedProcessStarts();
// Makes CreateProcessW fail with `error` and record nothing; 0 lets starts
// succeed again.
void FailProcessStarts(DWORD error);

}  // namespace host
