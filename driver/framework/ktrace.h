// A named trace channel to the kernel debugger. Every line that starts a
// new output line begins with the name, a colon and a blank; a message that
// does not end in "\n" is continued by the next one without a new prefix.
#pragma once

#include <ntifs.h>

#include <atomic>

class KTrace {
public:
    enum Flags : ULONG {
        UseMonitor = 1,    // kept for the framework's interface: no monitor is looked for
        ToDebugger = 2,    // print through the kernel debugger
        DoublePercent = 4  // the debugger's print routine reads its text as a format
    };
    static constexpr ULONG NeverLevel = 5;
    static constexpr ULONG SlotCount = 4;
    static constexpr ULONG SlotBytes = 256;

    // Messages below outputLevel are not printed (level 0 always is, level 5
    // never); messages at breakLevel or above break into the debugger, unless
    // breakLevel is 5.
    KTrace(PCSTR name, ULONG flags, ULONG outputLevel, ULONG breakLevel);
    ~KTrace();
    KTrace(const KTrace&) = delete;
    KTrace& operator=(const KTrace&) = delete;

    void Trace(ULONG level, PCSTR format, ...);
    void TraceV(ULONG level, PCSTR format, va_list args);

private:
    ULONG m_Flags;
    ULONG m_OutputLevel;
    ULONG m_BreakLevel;
    PCHAR m_Prefix;  // non-paged: traces may come at raised levels
    ULONG m_PrefixLength;
    // Shared by every caller and not guarded: interleaved messages may put a
    // prefix in the middle of another line.
    std::atomic<bool> m_AtLineStart;
};
