// Request packets: allocation, passing down, completion; calls to other
// drivers; locked-buffer descriptions.
#include "bugcheck.h"
#include "faults.h"
#include "io_objects.h"
#include "threads.h"

#include <host/utf16.h>

#include <cstdlib>
#include <cstring>

namespace host {

HostIrp* AllocateHostIrp(CCHAR stackSize)
{
    auto* irp = static_cast<HostIrp*>(std::calloc(1, sizeof(HostIrp)));
    irp->stack = static_cast<IO_STACK_LOCATION*>(std::calloc(static_cast<std::size_t>(stackSize) + 1,
                                                               sizeof(IO_STACK_LOCATION)));
    irp->irp.Type = 6;
    irp->irp.Size = static_cast<USHORT>(sizeof(IRP) + stackSize * sizeof(IO_STACK_LOCATION));
    irp->irp.StackCount = stackSize;
    // One past the last location: the first IofCallDriver moves onto it.
    irp->irp.CurrentLocation = static_cast<CHAR>(stackSize + 1);
    irp->irp.Tail.Overlay.CurrentStackLocation = irp->stack + stackSize;
    return irp;
}

void FreeHostIrp(HostIrp* irp)
{
    std::free(irp->stack);
    std::free(irp);
}

HostIrp* FromIrp(PIRP irp)
{
    return reinterpret_cast<HostIrp*>(irp);
}

}  // namespace host

namespace {

// The completion of a request built by IoBuildDeviceIoControlRequest.
struct BuiltRequest {
    PKEVENT event;
    PIO_STATUS_BLOCK iosb;
    void* output;
    ULONG outputLength;
    void* systemBuffer;
    bool buffered;
};

void FinishBuiltRequest(host::HostIrp* irp)
{
    auto* request = static_cast<BuiltRequest*>(irp->owner);
    const IO_STATUS_BLOCK status = irp->irp.IoStatus;
    if (request->buffered && !NT_ERROR(status.Status) && request->output != nullptr) {
        const ULONG_PTR bytes = status.Information < request->outputLength ? status.Information : request->outputLength;
        std::memcpy(request->output, request->systemBuffer, bytes);
    }
    if (request->iosb != nullptr) {
        *request->iosb = status;
    }
    if (request->event != nullptr) {
        KeSetEvent(request->event, IO_NO_INCREMENT, FALSE);
    }
    std::free(request->systemBuffer);
    delete request;
    host::FreeHostIrp(irp);
}

}  // namespace

extern "C" {

PIRP NTAPI IoAllocateIrp(CCHAR StackSize, BOOLEAN ChargeQuota)
{
    (void)ChargeQuota;
    return &host::AllocateHostIrp(StackSize)->irp;
}

VOID NTAPI IoFreeIrp(PIRP Irp)
{
    host::FreeHostIrp(host::FromIrp(Irp));
}

NTSTATUS __fastcall IofCallDriver(PDEVICE_OBJECT DeviceObject, PIRP Irp)
{
    host::RequireIrqlAtMost(DISPATCH_LEVEL, "IofCallDriver");
    Irp->CurrentLocation -= 1;
    if (Irp->CurrentLocation <= 0) {
        host::BugCheck("NO_MORE_IRP_STACK_LOCATIONS", "IofCallDriver");
    }
    Irp->Tail.Overlay.CurrentStackLocation -= 1;
    PIO_STACK_LOCATION location = Irp->Tail.Overlay.CurrentStackLocation;
    location->DeviceObject = DeviceObject;
    return DeviceObject->DriverObject->MajorFunction[location->MajorFunction](DeviceObject, Irp);
}

VOID __fastcall IofCompleteRequest(PIRP Irp, CCHAR PriorityBoost)
{
    (void)PriorityBoost;
    host::RequireIrqlAtMost(DISPATCH_LEVEL, "IofCompleteRequest");
    host::HostIrp* request = host::FromIrp(Irp);
    if (Irp->IoStatus.Status == STATUS_PENDING) {
        host::BugCheck("DRIVER_IRQL_NOT_LESS_OR_EQUAL", "a request completed with STATUS_PENDING");
    }
    if (request->completed || Irp->CurrentLocation > Irp->StackCount + 1) {
        host::BugCheck("MULTIPLE_IRP_COMPLETE_REQUESTS", "IofCompleteRequest");
    }
    // Each driver's completion routine runs as the request climbs back up.
    while (Irp->CurrentLocation <= Irp->StackCount) {
        PIO_STACK_LOCATION location = Irp->Tail.Overlay.CurrentStackLocation;
        Irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
        Irp->CurrentLocation += 1;
        Irp->Tail.Overlay.CurrentStackLocation += 1;
        const NTSTATUS status = Irp->IoStatus.Status;
        const bool invoke =
            location->CompletionRoutine != nullptr &&
            ((NT_SUCCESS(status) && (location->Control & SL_INVOKE_ON_SUCCESS) != 0) ||
             (!NT_SUCCESS(status) && (location->Control & SL_INVOKE_ON_ERROR) != 0) ||
             (Irp->Cancel && (location->Control & SL_INVOKE_ON_CANCEL) != 0));
        if (invoke) {
            PDEVICE_OBJECT upper = Irp->CurrentLocation <= Irp->StackCount
                                       ? Irp->Tail.Overlay.CurrentStackLocation->DeviceObject
                                       : nullptr;
            if (location->CompletionRoutine(upper, Irp, location->Context) == STATUS_MORE_PROCESSING_REQUIRED) {
                return;
            }
        } else if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount) {
            IoMarkIrpPending(Irp);
        }
    }
    request->completed = true;
    if (request->finish != nullptr) {
        request->finish(request);
    }
}

PIRP NTAPI IoBuildDeviceIoControlRequest(ULONG IoControlCode, PDEVICE_OBJECT DeviceObject, PVOID InputBuffer,
                                         ULONG InputBufferLength, PVOID OutputBuffer, ULONG OutputBufferLength,
                                         BOOLEAN InternalDeviceIoControl, PKEVENT Event,
                                         PIO_STATUS_BLOCK IoStatusBlock)
{
    host::HostIrp* request = host::AllocateHostIrp(DeviceObject->StackSize);
    auto* built = new BuiltRequest{Event, IoStatusBlock, OutputBuffer, OutputBufferLength, nullptr, false};
    PIRP irp = &request->irp;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = InternalDeviceIoControl ? IRP_MJ_INTERNAL_DEVICE_CONTROL : IRP_MJ_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IoControlCode;
    next->Parameters.DeviceIoControl.InputBufferLength = InputBufferLength;
    next->Parameters.DeviceIoControl.OutputBufferLength = OutputBufferLength;
    switch (IoControlCode & 3) {
    case METHOD_BUFFERED: {
        const ULONG size = InputBufferLength > OutputBufferLength ? InputBufferLength : OutputBufferLength;
        if (size != 0) {
            built->systemBuffer = std::calloc(1, size);
            if (InputBuffer != nullptr) {
                std::memcpy(built->systemBuffer, InputBuffer, InputBufferLength);
            }
        }
        built->buffered = true;
        irp->AssociatedIrp.SystemBuffer = built->systemBuffer;
        break;
    }
    default:
        // Kernel callers of the other methods pass kernel buffers as they are.
        next->Parameters.DeviceIoControl.Type3InputBuffer = InputBuffer;
        irp->AssociatedIrp.SystemBuffer = InputBuffer;
        irp->UserBuffer = OutputBuffer;
        break;
    }
    irp->RequestorMode = KernelMode;
    irp->UserEvent = Event;
    irp->UserIosb = IoStatusBlock;
    request->finish = FinishBuiltRequest;
    request->owner = built;
    return irp;
}

NTSTATUS NTAPI IoGetDeviceObjectPointer(PUNICODE_STRING ObjectName, ACCESS_MASK DesiredAccess,
                                        PFILE_OBJECT* FileObject, PDEVICE_OBJECT* DeviceObject)
{
    (void)DesiredAccess;
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "IoGetDeviceObjectPointer");
    host::DeviceHandle handle;
    const NTSTATUS status =
        host::OpenDevice(host::AsUtf16(ObjectName->Buffer, ObjectName->Length / sizeof(WCHAR)), handle);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    // Like Windows: the handle is closed at once, the file object kept by
    // reference until the caller dereferences it.
    host::DeviceFile* file = handle.File();
    file->AddRef();
    handle.Close();
    *FileObject = &file->body;
    *DeviceObject = &file->device->body;
    return STATUS_SUCCESS;
}

PVOID NTAPI MmMapLockedPagesSpecifyCache(PMDL MemoryDescriptorList, KPROCESSOR_MODE AccessMode,
                                         MEMORY_CACHING_TYPE CacheType, PVOID RequestedAddress,
                                         ULONG BugCheckOnFailure, ULONG Priority)
{
    (void)AccessMode;
    (void)CacheType;
    (void)RequestedAddress;
    (void)Priority;
    if (host::TakeFault(host::KernelCall::MmMapLockedPagesSpecifyCache)) {
        if (BugCheckOnFailure) {
            host::BugCheck("NO_MORE_SYSTEM_PTES", "MmMapLockedPagesSpecifyCache");
        }
        return nullptr;
    }
    // Kernel and caller share one address space here: the mapping is the
    // buffer itself.
    MemoryDescriptorList->MappedSystemVa =
        static_cast<char*>(MemoryDescriptorList->StartVa) + MemoryDescriptorList->ByteOffset;
    MemoryDescriptorList->MdlFlags |= MDL_MAPPED_TO_SYSTEM_VA;
    return MemoryDescriptorList->MappedSystemVa;
}

VOID NTAPI IoFreeMdl(PMDL Mdl)
{
    std::free(Mdl);
}

}  // extern "C"
