#include "kqueue.h"

KRequestQueue::KRequestQueue(ULONG linkOffset) : m_LinkOffset(linkOffset), m_SavedIrql(PASSIVE_LEVEL)
{
    InitializeListHead(&m_Head);
    KeInitializeSpinLock(&m_Lock);
}

void KRequestQueue::InsertTail(PVOID entry)
{
    KeAcquireSpinLock(&m_Lock, &m_SavedIrql);
    InsertTailList(&m_Head, reinterpret_cast<PLIST_ENTRY>(static_cast<PUCHAR>(entry) + m_LinkOffset));
    KeReleaseSpinLock(&m_Lock, m_SavedIrql);
}

PVOID KRequestQueue::RemoveHead()
{
    PVOID entry = nullptr;
    KeAcquireSpinLock(&m_Lock, &m_SavedIrql);
    if (!IsListEmpty(&m_Head)) {
        entry = reinterpret_cast<PUCHAR>(RemoveHeadList(&m_Head)) - m_LinkOffset;
    }
    KeReleaseSpinLock(&m_Lock, m_SavedIrql);
    return entry;
}

bool KRequestQueue::IsEmpty()
{
    KeAcquireSpinLock(&m_Lock, &m_SavedIrql);
    const bool empty = IsListEmpty(&m_Head);
    KeReleaseSpinLock(&m_Lock, m_SavedIrql);
    return empty;
}
