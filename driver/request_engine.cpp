// The request engine: reads, writes and the private control requests are
// queued per unit and carried out, in arrival order, by the unit's worker
// thread; everything else is answered on the sender's thread.
#include "disk_queries.h"
#include "framework/kpool.h"
#include "vantor_device.h"
#include "vantor_ioctl.h"
#include "vantor_trace.h"

bool VantorDevice::StartWorker()
{
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, nullptr, OBJ_KERNEL_HANDLE, nullptr, nullptr);
    HANDLE thread = nullptr;
    NTSTATUS status = PsCreateSystemThread(&thread, 0, &attributes, nullptr, nullptr, WorkerThread, this);
    if (!NT_SUCCESS(status)) {
        SetConstructionStatus(status);
        return false;
    }
    PVOID object = nullptr;
    status = ObReferenceObjectByHandle(thread, SYNCHRONIZE, nullptr, KernelMode, &object, nullptr);
    if (NT_SUCCESS(status)) {
        m_Worker.Set(object, KWaitableObject::Referenced);
    } else {
        // Without a reference there is nothing to wait for at destruction;
        // wait for the thread to end now, through its handle.
        m_Terminate = true;
        m_WorkEvent.Signal();
        ZwWaitForSingleObject(thread, FALSE, nullptr);
        SetConstructionStatus(status);
    }
    ZwClose(thread);
    return NT_SUCCESS(status);
}

void VantorDevice::StopWorker()
{
    if (m_Worker.Object() == nullptr) {
        return;
    }
    m_Terminate = true;
    m_WorkEvent.Signal();
    m_Worker.Wait();
    m_Worker.Release();
}

VOID NTAPI VantorDevice::WorkerThread(PVOID context)
{
    static_cast<VantorDevice*>(context)->WorkerLoop();
}

void VantorDevice::WorkerLoop()
{
    LARGE_INTEGER timeout;
    timeout.QuadPart = -10000000LL;  // one second
    while (!m_Terminate) {
        const NTSTATUS wait = m_WorkEvent.Wait(&timeout);
        if (wait == STATUS_TIMEOUT && m_Queue.IsEmpty()) {
            continue;
        }
        if (m_Terminate) {
            break;
        }
        OwnedEntry entry(static_cast<QueueEntry*>(m_Queue.RemoveHead()));
        if (!entry) {
            m_WorkEvent.Reset();
            // A request queued just before the reset has lost its signal;
            // look again rather than leave it waiting for the timeout.
            if (!m_Queue.IsEmpty()) {
                m_WorkEvent.Signal();
            }
            continue;
        }
        KIrp irp(entry->Irp);
        const NTSTATUS status = CarryOut(*entry);
        // The entry, and with it a captured identity, goes before the
        // sender hears back.
        entry.reset();
        irp.Complete(status, NT_SUCCESS(status) ? IO_DISK_INCREMENT : IO_NO_INCREMENT);
    }
}

void VantorDevice::AnswerLeftovers()
{
    // Windows unloads no driver with requests outstanding, so this finds
    // nothing there; should it find any, their senders get an answer and
    // their captured identities are released.
    while (OwnedEntry entry{static_cast<QueueEntry*>(m_Queue.RemoveHead())}) {
        KIrp(entry->Irp).Complete(STATUS_DELETE_PENDING);
    }
}

VantorDevice::OwnedEntry VantorDevice::MakeEntry(KIrp irp)
{
    OwnedEntry entry(new QueueEntry(irp.Irp()));
    if (!entry) {
        irp.Complete(STATUS_INSUFFICIENT_RESOURCES);
    }
    return entry;
}

NTSTATUS VantorDevice::Enqueue(KIrp irp, OwnedEntry entry)
{
    irp.Status() = STATUS_PENDING;
    irp.MarkPending();
    m_Queue.InsertTail(entry.release());
    m_WorkEvent.Signal();
    return STATUS_PENDING;
}

NTSTATUS VantorDevice::Read(KIrp irp)
{
    return QueueTransfer(irp);
}

NTSTATUS VantorDevice::Write(KIrp irp)
{
    return QueueTransfer(irp);
}

NTSTATUS VantorDevice::QueueTransfer(KIrp irp)
{
    irp.Information() = 0;
    if (!m_Image.IsMounted()) {
        return irp.Complete(STATUS_NO_MEDIA_IN_DEVICE);
    }
    if (irp.ReadWriteLength() == 0) {
        return irp.Complete(STATUS_SUCCESS);
    }
    OwnedEntry entry = MakeEntry(irp);
    if (!entry) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    return Enqueue(irp, std::move(entry));
}

NTSTATUS VantorDevice::DeviceControl(KIrp irp)
{
    irp.Information() = 0;
    const ULONG code = irp.IoctlCode();
    // Unmounted, only an open is taken: that is how Windows learns the
    // medium is absent.
    if (!m_Image.IsMounted() && code != IOCTL_OPENDISKFILE) {
        return irp.Complete(STATUS_NO_MEDIA_IN_DEVICE);
    }
    if (IsPrivateControl(code)) {
        return DispatchPrivateControl(irp);
    }
    const DiskQueryAnswer answer = AnswerDiskQuery(code, m_Image.DiskSize(), irp.SystemBuffer(),
                                                   irp.IoctlInputLength(), irp.IoctlOutputLength());
    irp.Information() = answer.Information;
    return irp.Complete(answer.Status);
}

NTSTATUS VantorDevice::CarryOut(QueueEntry& entry)
{
    KIrp irp(entry.Irp);
    irp.Information() = 0;
    const UCHAR major = irp.MajorFunction();
    NTSTATUS status = STATUS_DRIVER_INTERNAL_ERROR;
    switch (major) {
    case IRP_MJ_READ:
        status = CarryOutTransfer(irp, false);
        break;
    case IRP_MJ_WRITE:
        status = CarryOutTransfer(irp, true);
        break;
    case IRP_MJ_DEVICE_CONTROL:
        status = CarryOutControl(entry);
        break;
    default:
        break;
    }
    // The words of this line are the ones the driver's failures have always
    // been logged with; whoever filters the debugger's output looks for them.
    if (!NT_SUCCESS(status)) {
        g_Trace.Trace(1, "[Kestrel]---> error,func : %d,0x%x\r\n", major, status);
    }
    return status;
}

NTSTATUS VantorDevice::CarryOutTransfer(KIrp irp, bool write)
{
    PVOID buffer = irp.Mdl() != nullptr ? MmGetSystemAddressForMdlSafe(irp.Mdl(), NormalPagePriority) : nullptr;
    // A close queued ahead of this request may have taken the vault away.
    // Such a request fails as one whose buffer cannot be mapped does, with
    // STATUS_INSUFFICIENT_RESOURCES, as it always has: the disk stack above
    // takes that as one failed transfer, while STATUS_NO_MEDIA_IN_DEVICE is
    // what the unit answers, at dispatch, once the medium is known to be gone.
    if (buffer == nullptr || !m_Image.HasOpenFile() || !m_Image.IsMounted()) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    const ULONGLONG offset = ULONGLONG(irp.ReadWriteOffset().QuadPart);
    const ULONG length = irp.ReadWriteLength();
    ULONG_PTR bytes = 0;
    const NTSTATUS status =
        write ? m_Image.WriteData(offset, length, buffer, bytes) : m_Image.ReadData(offset, length, buffer, bytes);
    irp.Information() = bytes;
    return status;
}
