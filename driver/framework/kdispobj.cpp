#include "kdispobj.h"

#include "kassert.h"

KWaitableObject::KWaitableObject() : m_pObject(nullptr), m_Ownership(NotOwned) {}

KWaitableObject::~KWaitableObject()
{
    Release();
}

void KWaitableObject::Set(PVOID object, Ownership ownership)
{
    KASSERT("kdispobj", m_pObject == NULL);
    m_pObject = object;
    m_Ownership = ownership;
}

NTSTATUS KWaitableObject::Wait(PLARGE_INTEGER timeout)
{
    return KeWaitForSingleObject(m_pObject, Executive, KernelMode, FALSE, timeout);
}

void KWaitableObject::Release()
{
    if (m_pObject != nullptr) {
        if (m_Ownership == Referenced) {
            ObDereferenceObject(m_pObject);
        } else if (m_Ownership == Allocated) {
            ExFreePoolWithTag(m_pObject, 0);
        }
    }
    m_pObject = nullptr;
    m_Ownership = NotOwned;
}
