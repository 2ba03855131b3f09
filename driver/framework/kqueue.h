// A first-in, first-out list of requests shared between the threads that
// send them and the thread that carries them out, under its own spin lock.
// Entries live in non-paged pool: they are touched at DISPATCH_LEVEL. The lock
// is taken with KeAcquireSpinLock, which is KeAcquireSpinLockRaiseToDpc on
// x64 and the HAL's KfAcquireSpinLock on x86.
#pragma once

#include <ntifs.h>

class KRequestQueue {
public:
    // linkOffset: where an entry keeps its LIST_ENTRY.
    explicit KRequestQueue(ULONG linkOffset);
    KRequestQueue(const KRequestQueue&) = delete;
    KRequestQueue& operator=(const KRequestQueue&) = delete;

    void InsertTail(PVOID entry);
    // The oldest entry, or none.
    PVOID RemoveHead();
    bool IsEmpty();

private:
    // Holds the queue's lock for its own lifetime, with the level it was
    // taken at: each holder keeps its own, so two threads never share one.
    class [[nodiscard]] LockGuard {
    public:
        explicit LockGuard(KSPIN_LOCK& lock) : m_Lock(lock), m_SavedIrql(PASSIVE_LEVEL)
        {
            KeAcquireSpinLock(&m_Lock, &m_SavedIrql);
        }
        ~LockGuard() { KeReleaseSpinLock(&m_Lock, m_SavedIrql); }
        LockGuard(const LockGuard&) = delete;
        LockGuard& operator=(const LockGuard&) = delete;

    private:
        KSPIN_LOCK& m_Lock;
        KIRQL m_SavedIrql;
    };

    LIST_ENTRY m_Head;
    ULONG m_LinkOffset;
    KSPIN_LOCK m_Lock;
};
