// A view of one request packet. It owns nothing: the request belongs to
// whoever sent it until it is completed.
#pragma once

#include "kassert.h"

#include <ntifs.h>

class KIrp {
public:
    explicit KIrp(PIRP irp) : m_Irp(irp) {}

    PIRP Irp() const { return m_Irp; }

    PIO_STACK_LOCATION CurrentStackLocation() const
    {
        KASSERT("kirp", m_Irp->CurrentLocation <= m_Irp->StackCount);
        return IoGetCurrentIrpStackLocation(m_Irp);
    }
    PIO_STACK_LOCATION NextStackLocation() const
    {
        KASSERT("kirp", m_Irp->CurrentLocation > 1);
        return IoGetNextIrpStackLocation(m_Irp);
    }

    UCHAR MajorFunction() const { return CurrentStackLocation()->MajorFunction; }
    UCHAR MinorFunction() const { return CurrentStackLocation()->MinorFunction; }

    // Reads and writes.
    ULONG ReadWriteLength() const { return CurrentStackLocation()->Parameters.Read.Length; }
    LARGE_INTEGER ReadWriteOffset() const { return CurrentStackLocation()->Parameters.Read.ByteOffset; }

    // Device control requests.
    ULONG IoctlCode() const { return CurrentStackLocation()->Parameters.DeviceIoControl.IoControlCode; }
    ULONG IoctlInputLength() const { return CurrentStackLocation()->Parameters.DeviceIoControl.InputBufferLength; }
    ULONG IoctlOutputLength() const { return CurrentStackLocation()->Parameters.DeviceIoControl.OutputBufferLength; }

    PVOID SystemBuffer() const { return m_Irp->AssociatedIrp.SystemBuffer; }
    PMDL Mdl() const { return m_Irp->MdlAddress; }

    NTSTATUS& Status() const { return m_Irp->IoStatus.Status; }
    ULONG_PTR& Information() const { return m_Irp->IoStatus.Information; }

    void MarkPending() const { IoMarkIrpPending(m_Irp); }

    // Stores the status and hands the request back; returns the status, for
    // a dispatch routine to return in turn.
    NTSTATUS Complete(NTSTATUS status, CCHAR priorityBoost = IO_NO_INCREMENT) const
    {
        m_Irp->IoStatus.Status = status;
        IoCompleteRequest(m_Irp, priorityBoost);
        return status;
    }

    void SetCompletionRoutine(PIO_COMPLETION_ROUTINE func, PVOID context, BOOLEAN OnSuccess, BOOLEAN OnError,
                              BOOLEAN OnCancel) const
    {
        KASSERT("kirp", (OnSuccess) | (OnError) | (OnCancel) ? (func) != NULL : TRUE);
        IoSetCompletionRoutine(m_Irp, func, context, OnSuccess, OnError, OnCancel);
    }

private:
    PIRP m_Irp;
};
