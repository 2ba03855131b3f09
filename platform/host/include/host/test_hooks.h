// Knobs and gauges of the host platform for tests and tours. Product code
// never includes this header.
#pragma once

#include <ntdef.h>

#include <cstdint>
#include <string>

namespace host {

// --- Debugger output ------------------------------------------------------
// Everything DbgPrint printed since the last clear, as one text.
std::string DebugOutput();
void ClearDebugOutput();
// Echo DbgPrint output to standard error as well (off by default).
void EchoDebugOutput(bool on);

// --- Pool memory ----------------------------------------------------------
struct PoolBalance {
    std::int64_t blocks = 0;  // allocations not yet freed
    std::int64_t bytes = 0;
};
// tag as Windows writes it: 'tnaV' is the tag shown as "Vant".
PoolBalance PoolBalanceForTag(ULONG tag);
// Make allocations fail: skip `skip` matching allocations, then fail `count`.
// tag 0 matches every tag.
void FailPoolAllocations(ULONG tag, unsigned skip, unsigned count);

// --- Identity -------------------------------------------------------------
// Makes the calling thread act as another user, as a client thread that
// impersonates one: its file access and the security a driver captures from
// it. False when the host cannot switch (not running as root).
bool ImpersonateUser(unsigned user, unsigned group);
void RevertToSelf();
// Token references that drivers hold in client security contexts: zero
// once every capture has been released.
long CapturedClientTokens();

// --- Kernel calls ---------------------------------------------------------
enum class KernelCall {
    ZwCreateFile,
    ZwReadFile,
    ZwWriteFile,
    ZwQueryInformationFile,
    ZwSetInformationFile,
    PsCreateSystemThread,
    IoCreateDevice,
    IoCreateSymbolicLink,
    MmMapLockedPagesSpecifyCache,
    SeCreateClientSecurity,
    DbgPrint,
    Count_
};
// Make the next matching calls fail with `status` (or, for calls that
// return a pointer, with none), after letting `skip` of them through.
void FailKernelCalls(KernelCall call, NTSTATUS status, unsigned skip, unsigned count);
// Make the next `count` matching calls wait, on the threads that make them,
// until released: a way to hold a driver at a known point.
void HoldKernelCalls(KernelCall call, unsigned count);
// Waits until `count` calls are being held; false after `timeoutMs`.
bool WaitForHeldCalls(KernelCall call, unsigned count, unsigned timeoutMs);
void ReleaseHeldCalls(KernelCall call);
// Make the next `count` ZwWriteFile calls write only their first `bytes`
// bytes and report success with that count, as a write cut short does.
void ShortenKernelWrites(ULONG bytes, unsigned count);
// Behave as a file system that refuses unbuffered (O_DIRECT) I/O.
void RefuseUnbufferedIo(bool refuse);

// Makes MmGetSystemRoutineAddress not find `name`, as on a kernel without it.
void HideSystemRoutine(const std::string& name, bool hide);
// Makes MmGetSystemRoutineAddress find `name` at `address`, as on a kernel
// that exports it.
void AddSystemRoutine(const std::string& name, void* address);

// Clears every injected failure and releases every held call.
void ResetFaults();

}  // namespace host
