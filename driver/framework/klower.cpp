#include "klower.h"

#include "kassert.h"
#include "kirp.h"

namespace {

struct CallResult {
    KEVENT done;
    NTSTATUS status;
    ULONG_PTR information;
};

// Keeps the request for the caller, who allocated it.
NTSTATUS NTAPI RecordCompletion(PDEVICE_OBJECT, PIRP irp, PVOID context)
{
    auto* result = static_cast<CallResult*>(context);
    result->status = irp->IoStatus.Status;
    result->information = irp->IoStatus.Information;
    KeSetEvent(&result->done, IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

KLowerDevice::KLowerDevice() : m_FileObject(nullptr), m_DeviceObject(nullptr) {}

KLowerDevice::~KLowerDevice()
{
    Release();
}

NTSTATUS KLowerDevice::Attach(PCWSTR name, ACCESS_MASK access)
{
    Release();
    UNICODE_STRING objectName;
    RtlInitUnicodeString(&objectName, name);
    return IoGetDeviceObjectPointer(&objectName, access, &m_FileObject, &m_DeviceObject);
}

void KLowerDevice::Release()
{
    if (m_FileObject != nullptr) {
        ObDereferenceObject(m_FileObject);
    }
    m_FileObject = nullptr;
    m_DeviceObject = nullptr;
}

NTSTATUS KLowerDevice::Call(PIRP irp, ULONG_PTR* information)
{
    KASSERT("klower", KeGetCurrentIrql() < DISPATCH_LEVEL);
    CallResult result;
    KeInitializeEvent(&result.done, NotificationEvent, FALSE);
    result.status = STATUS_SUCCESS;
    result.information = 0;
    KIrp(irp).SetCompletionRoutine(RecordCompletion, &result, TRUE, TRUE, TRUE);
    IoCallDriver(m_DeviceObject, irp);
    KeWaitForSingleObject(&result.done, Executive, KernelMode, FALSE, nullptr);
    if (information != nullptr) {
        *information = result.information;
    }
    return result.status;
}

NTSTATUS KLowerDevice::DeviceControl(ULONG code, PVOID input, ULONG inputLength, PVOID output, ULONG outputLength,
                                     BOOLEAN internal, ULONG_PTR* information)
{
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildDeviceIoControlRequest(code, m_DeviceObject, input, inputLength, output, outputLength,
                                             internal, &done, &ioStatus);
    if (irp == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    NTSTATUS status = IoCallDriver(m_DeviceObject, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus.Status;
    }
    if (information != nullptr) {
        *information = ioStatus.Information;
    }
    return status;
}
