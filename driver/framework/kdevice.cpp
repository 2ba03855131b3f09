#include "kdevice.h"

#include "kassert.h"
#include "kdriver.h"

PVOID KDevice::CreateDeviceObject(ULONG extensionSize, PCWSTR name, DEVICE_TYPE type, PCWSTR linkName,
                                  ULONG characteristics, ULONG flags, KDeviceSetup& setup)
{
    PDRIVER_OBJECT driverObject = KDriver::m_TheDriver->DriverObject();
    KUnicodeName deviceName;
    if (name != nullptr && !NT_SUCCESS(deviceName.Compose(L"\\Device\\", name))) {
        return nullptr;
    }
    PDEVICE_OBJECT deviceObject = nullptr;
    NTSTATUS status = IoCreateDevice(driverObject, extensionSize, name != nullptr ? deviceName.Get() : nullptr, type,
                                     characteristics, (flags & DO_EXCLUSIVE) != 0, &deviceObject);
    if (!NT_SUCCESS(status)) {
        return nullptr;
    }
    KUnicodeName link;
    if (name != nullptr && linkName != nullptr) {
        status = link.Compose(L"\\??\\", linkName);
        if (NT_SUCCESS(status)) {
            status = IoCreateSymbolicLink(link.Get(), deviceName.Get());
        }
        if (!NT_SUCCESS(status)) {
            IoDeleteDevice(deviceObject);
            return nullptr;
        }
    }
    deviceObject->Flags |= flags;
    if (KDriver::m_TheDriver->DispatchOptions() & KDriver::RegisterForShutdown) {
        IoRegisterShutdownNotification(deviceObject);
    }
    setup.DeviceObject = deviceObject;
    setup.DeviceName.TakeFrom(deviceName);
    setup.LinkName.TakeFrom(link);
    setup.Status = status;
    return deviceObject->DeviceExtension;
}

KDevice::KDevice(KDeviceSetup& setup)
    : m_DeviceObject(setup.DeviceObject), m_Marker(0), m_ConstructionStatus(setup.Status)
{
    m_DeviceName.TakeFrom(setup.DeviceName);
    m_LinkName.TakeFrom(setup.LinkName);
    const ULONG options = KDriver::m_TheDriver->DispatchOptions();
    m_DispatchTable[IRP_MJ_CREATE] = &KDevice::Create;
    m_DispatchTable[IRP_MJ_CREATE_NAMED_PIPE] = &KDevice::CreateNamedPipe;
    m_DispatchTable[IRP_MJ_CLOSE] = &KDevice::Close;
    m_DispatchTable[IRP_MJ_READ] = &KDevice::Read;
    m_DispatchTable[IRP_MJ_WRITE] = &KDevice::Write;
    ULONG major = IRP_MJ_QUERY_INFORMATION;
#define KDEVICE_TABLE_ENTRY(name) m_DispatchTable[major++] = &KDevice::name;
    KDEVICE_MAJOR_HANDLERS(KDEVICE_TABLE_ENTRY)
#undef KDEVICE_TABLE_ENTRY
    KASSERT("kdevice", major == DispatchEntries);
    if (options & KDriver::CombineCreateClose) {
        m_DispatchTable[IRP_MJ_CREATE] = m_DispatchTable[IRP_MJ_CLOSE] = &KDevice::CreateClose;
    }
    if (options & KDriver::CombineReadWrite) {
        m_DispatchTable[IRP_MJ_READ] = m_DispatchTable[IRP_MJ_WRITE] = &KDevice::ReadWrite;
    }
    if (NT_SUCCESS(m_ConstructionStatus) && m_DeviceObject != nullptr) {
        m_Marker = ExtensionMarker;
    }
}

KDevice::~KDevice()
{
    if (m_DeviceObject != nullptr) {
        if (!m_LinkName.IsEmpty()) {
            IoDeleteSymbolicLink(m_LinkName.Get());
        }
        if (m_DeviceObject->Flags & DO_SHUTDOWN_REGISTERED) {
            IoUnregisterShutdownNotification(m_DeviceObject);
        }
    }
    m_DeviceName.Release();
    m_LinkName.Release();
}

void KDevice::operator delete(KDevice* device, std::destroying_delete_t)
{
    const ULONG marker = device->m_Marker;
    PDEVICE_OBJECT deviceObject = device->m_DeviceObject;
    device->~KDevice();
    // The memory is the device object's extension, which goes with it.
    KASSERT("kdevice", (marker & 0x80000000) != 0);
    if (deviceObject != nullptr) {
        IoDeleteDevice(deviceObject);
    }
}

NTSTATUS KDevice::Dispatch(KIrp irp)
{
    const UCHAR Major = irp.MajorFunction();
    KASSERT("kdevice", Major <= IRP_MJ_MAXIMUM_FUNCTION);
    if (Major > IRP_MJ_MAXIMUM_FUNCTION) {
        return NotImplemented(irp);
    }
    return (this->*m_DispatchTable[Major])(irp);
}

NTSTATUS KDevice::NotImplemented(KIrp irp)
{
    KASSERT("kdevice", FALSE);
    irp.Information() = 0;
    return irp.Complete(STATUS_NOT_IMPLEMENTED);
}

#define KDEVICE_DEFINE_HANDLER(name) \
    NTSTATUS KDevice::name(KIrp irp) \
    {                                \
        return NotImplemented(irp);  \
    }
KDEVICE_DEFINE_HANDLER(Create)
KDEVICE_DEFINE_HANDLER(CreateClose)
KDEVICE_DEFINE_HANDLER(CreateNamedPipe)
KDEVICE_DEFINE_HANDLER(Close)
KDEVICE_DEFINE_HANDLER(Read)
KDEVICE_DEFINE_HANDLER(ReadWrite)
KDEVICE_DEFINE_HANDLER(Write)
KDEVICE_MAJOR_HANDLERS(KDEVICE_DEFINE_HANDLER)
#undef KDEVICE_DEFINE_HANDLER
