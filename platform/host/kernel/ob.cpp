// The object manager's reference counting, on body pointers.
#include "bugcheck.h"
#include "object_table.h"
#include "threads.h"

extern "C" {

NTSTATUS NTAPI ObReferenceObjectByHandle(HANDLE Handle, ACCESS_MASK DesiredAccess, POBJECT_TYPE ObjectType,
                                         KPROCESSOR_MODE AccessMode, PVOID* Object,
                                         POBJECT_HANDLE_INFORMATION HandleInformation)
{
    ACCESS_MASK granted = 0;
    host::Ref<host::KernelObject> object = host::ReferenceHandle(Handle, &granted);
    if (!object) {
        return STATUS_INVALID_HANDLE;
    }
    if (ObjectType != nullptr && object->Type() != ObjectType) {
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    // As on Windows, kernel-mode callers are trusted with any access; a
    // user-mode caller gets no more than the handle was opened with.
    if (AccessMode != KernelMode && !host::AccessAllows(granted, DesiredAccess)) {
        return STATUS_ACCESS_DENIED;
    }
    if (HandleInformation != nullptr) {
        HandleInformation->HandleAttributes = 0;
        HandleInformation->GrantedAccess = granted;
    }
    *Object = object->Body();
    object.Detach();  // the caller now holds this reference
    return STATUS_SUCCESS;
}

LONG_PTR NTAPI ObfReferenceObject(PVOID Object)
{
    host::KernelObject* object = host::ObjectFromBody(Object);
    if (object == nullptr) {
        host::BugCheck("INVALID_OBJECT_REFERENCE", "ObfReferenceObject");
    }
    object->AddRef();
    return 1;
}

LONG_PTR NTAPI ObfDereferenceObject(PVOID Object)
{
    host::KernelObject* object = host::ObjectFromBody(Object);
    if (object == nullptr) {
        host::BugCheck("INVALID_OBJECT_REFERENCE", "ObfDereferenceObject");
    }
    object->Release();
    return 0;
}

NTSTATUS NTAPI ZwWaitForSingleObject(HANDLE Handle, BOOLEAN Alertable, PLARGE_INTEGER Timeout)
{
    host::Ref<host::KernelObject> object = host::ReferenceHandle(Handle);
    if (!object) {
        return STATUS_INVALID_HANDLE;
    }
    if (object->Type() != host::ThreadObjectType) {
        // Of the objects this host hands out handles for, only threads are waitable.
        return STATUS_OBJECT_TYPE_MISMATCH;
    }
    return KeWaitForSingleObject(object->Body(), Executive, KernelMode, Alertable, Timeout);
}

}  // extern "C"
