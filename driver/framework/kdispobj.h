// A kernel dispatcher object that can be waited on (an event, a thread),
// held inside the owner, allocated for it, or referenced.
#pragma once

#include <ntifs.h>

class KWaitableObject {
public:
    enum Ownership { NotOwned, Embedded, Allocated, Referenced };

    KWaitableObject();
    ~KWaitableObject();
    // The address of a dispatcher object is its identity.
    KWaitableObject(const KWaitableObject&) = delete;
    KWaitableObject& operator=(const KWaitableObject&) = delete;

    void Set(PVOID object, Ownership ownership);
    PVOID Object() const { return m_pObject; }

    // Kernel-mode, non-alertable wait for an executive reason; no timeout
    // waits for ever, a negative one is relative in 100-nanosecond units.
    NTSTATUS Wait(PLARGE_INTEGER timeout = nullptr);
    void Release();

private:
    PVOID m_pObject;
    Ownership m_Ownership;
};
