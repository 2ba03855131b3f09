#include "kdriver.h"

#include "kassert.h"
#include "kdevice.h"
#include "kruntime.h"

KDriver* KDriver::m_TheDriver = nullptr;

NTSTATUS NTAPI KDriver::FrameworkDispatch(PDEVICE_OBJECT deviceObject, PIRP irp)
{
    return KDevice::FromDeviceObject(deviceObject)->Dispatch(KIrp(irp));
}

VOID NTAPI KDriver::FrameworkUnload(PDRIVER_OBJECT pDrvObj)
{
    KASSERT("kdriver", pDrvObj == m_TheDriver->DriverObject());
    m_TheDriver->Unload();
    delete m_TheDriver;
    m_TheDriver = nullptr;
    KRunExitActions();
}

KDriver::KDriver() : m_DriverObject(nullptr), m_HasDevices(false), m_DispatchOptions(RegisterForShutdown)
{
    KASSERT("kdriver", m_TheDriver == NULL);
    m_TheDriver = this;
}

KDriver::~KDriver()
{
    if (m_TheDriver == this) {
        m_TheDriver = nullptr;
    }
}

NTSTATUS KDriver::DriverEntry(PUNICODE_STRING)
{
    KASSERT("kdriver", FALSE);
    return STATUS_SUCCESS;
}

VOID KDriver::Unload()
{
    if (m_HasDevices) {
        DestroyDevices(m_DriverObject->DeviceObject);
    }
}

void KDriver::DestroyDevices(PDEVICE_OBJECT deviceObject)
{
    if (deviceObject == nullptr) {
        return;
    }
    DestroyDevices(deviceObject->NextDevice);
    KDevice::FromDeviceObject(deviceObject)->Destroy();
}

NTSTATUS KDriver::Attach(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath)
{
    m_DriverObject = driverObject;
    // A NUL-terminated copy of the service's registry path.
    NTSTATUS status = m_RegistryPath.Assign(registryPath);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    static const UCHAR handled[] = {IRP_MJ_CREATE,          IRP_MJ_CLOSE,
                                    IRP_MJ_READ,            IRP_MJ_WRITE,
                                    IRP_MJ_DEVICE_CONTROL,  IRP_MJ_INTERNAL_DEVICE_CONTROL,
                                    IRP_MJ_SHUTDOWN,        IRP_MJ_CLEANUP};
    for (UCHAR major : handled) {
        driverObject->MajorFunction[major] = FrameworkDispatch;
    }
    driverObject->DriverUnload = FrameworkUnload;
    m_DispatchOptions = RegisterForShutdown;
    return STATUS_SUCCESS;
}

// The image's entry point: start-up of the framework, then the driver's own.
extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING RegistryPath)
{
    NTSTATUS status = KRunStaticInitializers();
    if (!NT_ERROR(status)) {
        KDriver* driver = KCreateDriver();
        if (driver == nullptr) {
            status = STATUS_INSUFFICIENT_RESOURCES;
        } else {
            status = driver->Attach(DriverObject, RegistryPath);
            if (NT_SUCCESS(status)) {
                status = driver->DriverEntry(RegistryPath);
                driver->NoteDevices();
            }
            if (NT_ERROR(status)) {
                // The system calls no unload routine for a driver whose
                // start failed: nothing of it may stay behind.
                delete driver;
            }
        }
    }
    if (NT_ERROR(status)) {
        KRunExitActions();
    }
    return status;
}
