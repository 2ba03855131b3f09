// The driver: one object per driver image, made by the framework's entry
// point, which also installs the framework's dispatch and unload routines.
#pragma once

#include "kpool.h"
#include "kustring.h"

#include <ntifs.h>

class KDevice;

class KDriver : public KPoolAllocated<NonPagedPool> {
public:
    // Attach sets RegisterForShutdown alone. The two others are kept for the
    // framework's interface, with KDevice::ReadWrite and CreateClose: a
    // driver that wants one handler for both sets them in its DriverEntry.
    enum DispatchOption : ULONG {
        RegisterForShutdown = 1,  // every new device gets IRP_MJ_SHUTDOWN
        CombineReadWrite = 2,     // reads and writes go to one handler
        CombineCreateClose = 4,   // creates and closes go to one handler
    };

    KDriver();
    virtual ~KDriver();
    KDriver(const KDriver&) = delete;
    KDriver& operator=(const KDriver&) = delete;

    // The driver's own start; every driver overrides it.
    virtual NTSTATUS DriverEntry(PUNICODE_STRING RegistryPath);
    // Destroys every device, the last made first.
    virtual VOID Unload();

    PDRIVER_OBJECT DriverObject() const { return m_DriverObject; }
    ULONG DispatchOptions() const { return m_DispatchOptions; }
    const KUnicodeName& RegistryPath() const { return m_RegistryPath; }

    // The one driver object of this image.
    static KDriver* m_TheDriver;

    // For the framework's entry point.
    NTSTATUS Attach(PDRIVER_OBJECT driverObject, PUNICODE_STRING registryPath);
    void NoteDevices() { m_HasDevices = m_DriverObject->DeviceObject != nullptr; }

protected:
    // Destroys the device objects on the driver's list: since the system keeps
    // the newest at the head, the walk goes to the end first.
    void DestroyDevices(PDEVICE_OBJECT deviceObject);

private:
    static NTSTATUS NTAPI FrameworkDispatch(PDEVICE_OBJECT deviceObject, PIRP irp);
    static VOID NTAPI FrameworkUnload(PDRIVER_OBJECT pDrvObj);

    PDRIVER_OBJECT m_DriverObject;
    KUnicodeName m_RegistryPath;
    bool m_HasDevices;
    ULONG m_DispatchOptions;
};

// Supplied by the driver: makes its KDriver (with new), or none.
KDriver* KCreateDriver();
