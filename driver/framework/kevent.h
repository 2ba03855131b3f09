// An event held inside its owner.
#pragma once

#include "kdispobj.h"

class KEvent : public KWaitableObject {
public:
    KEvent();

    void Initialize(EVENT_TYPE type, BOOLEAN signalled);
    // Signals without a priority boost and without a wait to follow.
    LONG Signal();
    LONG Reset();

private:
    KEVENT m_Event;
};
