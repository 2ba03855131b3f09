// Failures and holds that tests asked the host platform to inject.
#pragma once

#include <host/test_hooks.h>
#include <ntstatus.h>

namespace host {

// Where a kernel call starts: waits while the call is held, then tells
// whether it must fail and with which status.
bool TakeFault(KernelCall call, NTSTATUS& status);
// For calls that report failure without a status.
bool TakeFault(KernelCall call);
bool TakePoolFault(ULONG tag);
bool UnbufferedIoRefused();
// For ZwWriteFile: the length a write is cut to, when one is due.
bool TakeShortWrite(ULONG& length);
void ClearHiddenRoutines();

}  // namespace host
