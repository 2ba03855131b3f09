// Knobs of the host's Win32 layer for tests and tours. Product code never
// includes this header.
#pragma once

#include <windows.h>

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

}  // namespace host
