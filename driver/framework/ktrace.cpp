#include "ktrace.h"

#include "kpool.h"

#include <stdio.h>
#include <string.h>

namespace {

// Four message buffers for all traces of the driver, taken and given back
// with locked arithmetic: a trace may come from any thread at any time.
char s_Slots[KTrace::SlotCount][KTrace::SlotBytes];
LONG volatile s_FreeSlots = KTrace::SlotCount;
LONG volatile s_SlotTaken[KTrace::SlotCount];

// Only called after a free slot was counted out, so one is there.
ULONG TakeSlot()
{
    for (;;) {
        for (ULONG slot = 0; slot < KTrace::SlotCount; ++slot) {
            if (InterlockedCompareExchange(&s_SlotTaken[slot], 1, 0) == 0) {
                return slot;
            }
        }
    }
}

void GiveSlotBack(ULONG slot)
{
    InterlockedExchange(&s_SlotTaken[slot], 0);
    InterlockedIncrement(&s_FreeSlots);
}

// Doubles every "%" so that a print routine which reads the text as a
// format prints it as it is; the text is cut at the end of the slot, never
// leaving half a pair.
void DoublePercents(char* text, SIZE_T size)
{
    SIZE_T length = strlen(text);
    for (SIZE_T i = 0; i < length; ++i) {
        if (text[i] != '%') {
            continue;
        }
        if (i + 2 >= size) {
            text[i] = 0;
            return;
        }
        const SIZE_T moved = (length + 1 < size - 1 ? length + 1 : size - 1) - (i + 1);
        memmove(text + i + 2, text + i + 1, moved);
        text[i + 1] = '%';
        length = length + 1 < size - 1 ? length + 1 : size - 1;
        text[length] = 0;
        ++i;
    }
}

}  // namespace

KTrace::KTrace(PCSTR name, ULONG flags, ULONG outputLevel, ULONG breakLevel)
    : m_Flags(flags), m_OutputLevel(outputLevel), m_BreakLevel(breakLevel), m_Prefix(nullptr), m_PrefixLength(0),
      m_AtLineStart(true)
{
    // No trace monitor is looked for: the output always goes to the kernel debugger.
    const SIZE_T nameLength = strlen(name);
    KPoolBlock prefix(NonPagedPool, nameLength + 3);
    if (prefix) {
        m_Prefix = prefix.As<char>();
        memcpy(m_Prefix, name, nameLength);
        memcpy(m_Prefix + nameLength, ": ", 3);
        m_PrefixLength = ULONG(nameLength + 2);
        prefix.Detach();
    }
}

KTrace::~KTrace()
{
    if (m_Prefix != nullptr) {
        ExFreePoolWithTag(m_Prefix, 0);
        m_Prefix = nullptr;
    }
}

void KTrace::Trace(ULONG level, PCSTR format, ...)
{
    va_list args;
    va_start(args, format);
    TraceV(level, format, args);
    va_end(args);
}

void KTrace::TraceV(ULONG level, PCSTR format, va_list args)
{
    if (InterlockedDecrement(&s_FreeSlots) < 0) {
        InterlockedIncrement(&s_FreeSlots);
        DbgPrint("KTrace: Dropping a trace message due to lack of buffer space\n");
        return;
    }
    const ULONG slot = TakeSlot();
    char* text = s_Slots[slot];

    if ((level == 0 || level >= m_OutputLevel) && level != NeverLevel) {
        memcpy(text, m_Prefix != nullptr ? m_Prefix : "", m_PrefixLength);
        char* message = text + m_PrefixLength;
        const SIZE_T room = SlotBytes - m_PrefixLength;
        // A message that does not fit fills the slot, with a terminator in its last byte.
        const int written = _vsnprintf(message, room, format, args);
        if (written < 0 || SIZE_T(written) >= room) {
            text[SlotBytes - 1] = 0;
        }
        if (m_Flags & ToDebugger) {
            if (m_Flags & DoublePercent) {
                DoublePercents(text, SlotBytes);
            }
            DbgPrint(m_AtLineStart.load(std::memory_order_relaxed) ? text : text + m_PrefixLength);
        }
        const SIZE_T length = strlen(text);
        m_AtLineStart.store(length > 0 && text[length - 1] == '\n', std::memory_order_relaxed);
    }

    if ((level == 0 || level >= m_BreakLevel) && m_BreakLevel != NeverLevel) {
        DbgBreakPoint();
    }
    GiveSlotBack(slot);
}
