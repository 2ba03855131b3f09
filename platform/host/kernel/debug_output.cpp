// The kernel debugger's output: DbgPrint text is kept for tests to read and,
// when asked, echoed to standard error.
#include "bugcheck.h"
#include "faults.h"

#include "../common/ms_format.h"

#include <host/test_hooks.h>
#include <ntddk.h>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace host {

namespace {

struct Debugger {
    std::mutex lock;
    std::string text;
    std::atomic<bool> echo{false};
};

Debugger& TheDebugger()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static Debugger* debugger = new Debugger;
    return *debugger;
}

}  // namespace

std::string DebugOutput()
{
    std::lock_guard guard(TheDebugger().lock);
    return TheDebugger().text;
}

void ClearDebugOutput()
{
    std::lock_guard guard(TheDebugger().lock);
    TheDebugger().text.clear();
}

void EchoDebugOutput(bool on)
{
    TheDebugger().echo = on;
}

}  // namespace host

extern "C" ULONG __cdecl DbgPrint(PCSTR Format, ...)
{
    // Tests may hold a printer here, to see what the others do meanwhile.
    host::TakeFault(host::KernelCall::DbgPrint);
    va_list args;
    va_start(args, Format);
    std::string text = host::FormatMs(Format, args, false);
    va_end(args);
    auto& debugger = host::TheDebugger();
    std::lock_guard guard(debugger.lock);
    debugger.text += text;
    if (debugger.echo) {
        std::fputs(text.c_str(), stderr);
    }
    return STATUS_SUCCESS;
}

extern "C" VOID NTAPI DbgBreakPoint(VOID)
{
    host::BugCheck("a breakpoint was hit", "no kernel debugger is attached");
}

extern "C" VOID NTAPI RtlAssert(PVOID FailedAssertion, PVOID FileName, ULONG LineNumber, PSTR Message)
{
    // Like a free build's kernel without a debugger: report and carry on.
    DbgPrint("\n*** Assertion failed: %s%s\n***   Source File: %s, line %u\n\n", Message ? Message : "",
             static_cast<const char*>(FailedAssertion), static_cast<const char*>(FileName), LineNumber);
}
