#include "driver_entry.h"

#include "framework/kunitnam.h"
#include "vantor_device.h"
#include "vantor_ioctl.h"
#include "vantor_trace.h"

KDriver* KCreateDriver()
{
    return new VantorDriver;
}

// The service's registry path is not read: the driver has no settings. The
// parameter is the framework's interface.
NTSTATUS VantorDriver::DriverEntry(PUNICODE_STRING)
{
    g_Trace.Trace(1, "VantorDriver::DriverEntry++. Compiled at %s on %s\n", __TIME__, __DATE__);
    ClientSecurity::DetectKernelSupport();
    // The result is the last unit's: a unit 0 that fails alone leaves the
    // driver loaded and serving unit 1, whose senders would lose it too if
    // any unit's failure failed the whole start.
    NTSTATUS result = STATUS_SUCCESS;
    for (ULONG unit = 0; unit < VANTOR_UNIT_COUNT; ++unit) {
        result = CreateUnit(unit);
    }
    // The system does not unload a driver whose start failed: no unit, and
    // no worker thread, may outlive that failure.
    if (!NT_SUCCESS(result)) {
        DestroyDevices(DriverObject()->DeviceObject);
    }
    g_Trace.Trace(1, "VantorDriver::DriverEntry--. STATUS %x\n", result);
    return result;
}

NTSTATUS VantorDriver::CreateUnit(ULONG unit)
{
    KUnitizedName deviceName(VANTOR_DEVICE_BASE_NAME, unit, 10);
    KUnitizedName linkName(VANTOR_DEVICE_BASE_NAME, unit, 10);
    if (!NT_SUCCESS(deviceName.Status()) || !NT_SUCCESS(linkName.Status())) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KDeviceSetup setup;
    PVOID storage = KDevice::CreateDeviceObject(sizeof(VantorDevice), deviceName.Text(), FILE_DEVICE_DISK,
                                                linkName.Text(), 0, DO_DIRECT_IO, setup);
    if (storage == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    auto* device = new (storage) VantorDevice(setup, unit);
    const NTSTATUS status = device->ConstructionStatus();
    if (!NT_SUCCESS(status)) {
        device->Destroy();
    }
    return status;
}

VOID VantorDriver::Unload()
{
    g_Trace.Trace(1, "VantorDriver::Unload++.\n");
    KDriver::Unload();
    g_Trace.Trace(1, "VantorDriver::Unload--.\n");
}

VantorDevice::VantorDevice(KDeviceSetup& setup, ULONG unit)
    : KDevice(setup), m_Unit(unit), m_Terminate(false), m_Queue(FIELD_OFFSET(QueueEntry, Link))
{
    if (!NT_SUCCESS(ConstructionStatus())) {
        g_Trace.Trace(3, "VantorDevice::VantorDevice: Failed to create device VantorDevice unit number %d status %x\n",
                      m_Unit, ConstructionStatus());
        return;
    }
    m_WorkEvent.Initialize(NotificationEvent, FALSE);
    m_Terminate = false;
    m_WorkEvent.Reset();
    // A unit without its worker would take requests and never answer them.
    if (!StartWorker()) {
        g_Trace.Trace(3, "VantorDevice::VantorDevice: Failed to create device VantorDevice unit number %d status %x\n",
                      m_Unit, ConstructionStatus());
    }
}

VantorDevice::~VantorDevice()
{
    StopWorker();
    AnswerLeftovers();
    // The event, the kept name and the vault file go with their members.
}

NTSTATUS VantorDevice::AnswerAtOnce(KIrp irp, PCSTR handler, NTSTATUS status)
{
    PIRP request = irp.Irp();
    g_Trace.Trace(1, "VantorDevice::%s++.  IRP %p\n", handler, request);
    irp.Information() = 0;
    irp.Complete(status);
    g_Trace.Trace(1, "VantorDevice::%s--.  IRP %p, STATUS %x\n", handler, request, status);
    return status;
}

NTSTATUS VantorDevice::Create(KIrp irp)
{
    return AnswerAtOnce(irp, "Create", STATUS_SUCCESS);
}

NTSTATUS VantorDevice::Close(KIrp irp)
{
    return AnswerAtOnce(irp, "Close", STATUS_SUCCESS);
}

NTSTATUS VantorDevice::CleanUp(KIrp irp)
{
    return AnswerAtOnce(irp, "CleanUp", STATUS_SUCCESS);
}

NTSTATUS VantorDevice::Shutdown(KIrp irp)
{
    // Nothing is flushed or closed: the vault file stays open until the machine goes down.
    return AnswerAtOnce(irp, "Shutdown", STATUS_SUCCESS);
}

NTSTATUS VantorDevice::InternalDeviceControl(KIrp irp)
{
    return AnswerAtOnce(irp, "InternalDeviceControl", STATUS_INVALID_DEVICE_REQUEST);
}
