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

// --- Kernel file calls ----------------------------------------------------
enum class FileCall { Create, Read, Write, QueryInformation, SetInformation };
// Make the next matching calls fail with `status`, after skipping `skip` of them.
void FailFileCalls(FileCall call, NTSTATUS status, unsigned skip, unsigned count);
// Behave as a file system that refuses unbuffered (O_DIRECT) I/O.
void RefuseUnbufferedIo(bool refuse);

// Clears every injected failure.
void ResetFaults();

}  // namespace host
