#include "kqueue.h"

KRequestQueue::KRequestQueue(ULONG linkOffset) : m_LinkOffset(linkOffset)
{
    InitializeListHead(&m_Head);
    KeInitializeSpinLock(&m_Lock);
}

void KRequestQueue::InsertTail(PVOID entry)
{
    LockGuard guard(m_Lock);
    InsertTailList(&m_Head, reinterpret_cast<PLIST_ENTRY>(static_cast<PUCHAR>(entry) + m_LinkOffset));
}

PVOID KRequestQueue::RemoveHead()
{
    LockGuard guard(m_Lock);
    if (IsListEmpty(&m_Head)) {
        return nullptr;
    }
    return reinterpret_cast<PUCHAR>(RemoveHeadList(&m_Head)) - m_LinkOffset;
}

bool KRequestQueue::IsEmpty()
{
    LockGuard guard(m_Lock);
    return IsListEmpty(&m_Head);
}
