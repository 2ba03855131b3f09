// Knobs and gauges of the host's window manager for tests and tours.
// Product code never includes this header.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

// --- The desktop ------------------------------------------------------------
// Forgets every window (without calling any procedure: their owners may be
// gone), every class that RegisterClassW registered, every posted message,
// every hot key (reserved ones too), and any SetPropW failure still to
// come. The predefined control classes stay.
void ResetDesktop();

// --- Window properties ------------------------------------------------------
// Makes the next `count` SetPropW calls fail with ERROR_NOT_ENOUGH_MEMORY, as
// when the system cannot store one more property.
void FailSetProps(unsigned count);

// --- Posted messages --------------------------------------------------------
// Every message waiting in any thread's queue, oldest first. `time` is when
// it was posted, in milliseconds since the process started.
std::vector<MSG> PostedMessages();
void ClearPostedMessages();

// --- Hot keys ---------------------------------------------------------------
// Takes a combination as another program would: RegisterHotKey then fails
// for it with ERROR_HOTKEY_ALREADY_REGISTERED. MOD_NOREPEAT is ignored.
void ReserveHotKeyForAnotherProgram(UINT modifiers, UINT vk);
// The user presses a combination: if one of our windows (or threads)
// registered it, WM_HOTKEY is posted to it as Windows posts it, and the
// answer is true; false when nobody here has it (unregistered, or another
// program's).
bool PressHotKey(UINT modifiers, UINT vk);

}  // namespace host
