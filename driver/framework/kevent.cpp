#include "kevent.h"

#include "kassert.h"

KEvent::KEvent() : m_Event{} {}

void KEvent::Initialize(EVENT_TYPE type, BOOLEAN signalled)
{
    KASSERT("kevent", KeGetCurrentIrql() < DISPATCH_LEVEL);
    KeInitializeEvent(&m_Event, type, signalled);
    Set(&m_Event, Embedded);
}

LONG KEvent::Signal()
{
    return KeSetEvent(&m_Event, IO_NO_INCREMENT, FALSE);
}

LONG KEvent::Reset()
{
    return KeResetEvent(&m_Event);
}
