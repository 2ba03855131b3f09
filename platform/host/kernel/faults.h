// Failures that tests asked the host platform to inject.
#pragma once

#include <host/test_hooks.h>
#include <ntstatus.h>

namespace host {

// True when this call must fail; sets `status` to the status to report.
bool TakeFileFault(FileCall call, NTSTATUS& status);
bool TakePoolFault(ULONG tag);
bool UnbufferedIoRefused();

}  // namespace host
