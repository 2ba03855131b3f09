// One device of a driver. The object lives at the start of its device
// object's extension; the system's requests reach it through one dispatch
// routine and a table of handlers by major function.
#pragma once

#include "kirp.h"
#include "kustring.h"

#include <ntifs.h>

#include <new>

// What device creation made, handed on to the device's constructor.
struct KDeviceSetup {
    PDEVICE_OBJECT DeviceObject = nullptr;
    KUnicodeName DeviceName;
    KUnicodeName LinkName;
    NTSTATUS Status = STATUS_SUCCESS;
};

// Handlers for majors IRP_MJ_QUERY_INFORMATION (5) to IRP_MJ_PNP (27), in the
// system's numbering order.
#define KDEVICE_MAJOR_HANDLERS(X)                                                                          \
    X(QueryInformation) X(SetInformation) X(QueryEa) X(SetEa) X(FlushBuffers) X(QueryVolumeInformation)    \
    X(SetVolumeInformation) X(DirectoryControl) X(FileSystemControl) X(DeviceControl) X(InternalDeviceControl) \
    X(Shutdown) X(LockControl) X(CleanUp) X(CreateMailslot) X(QuerySecurity) X(SetSecurity) X(Power)       \
    X(SystemControl) X(DeviceChange) X(QueryQuota) X(SetQuota) X(Pnp)

class KDevice {
public:
    using Handler = NTSTATUS (KDevice::*)(KIrp irp);
    static constexpr ULONG DispatchEntries = IRP_MJ_MAXIMUM_FUNCTION + 1;
    // "XDK " with the top bit set: made by CreateDeviceObject, inside an extension.
    static constexpr ULONG ExtensionMarker = 0x204B4458 | 0x80000000;

    // Makes the device object: "\Device\" + name, of `type`, with a link
    // "\??\" + linkName, and an extension of `extensionSize` bytes for the
    // device's class object. Returns that extension, or none.
    static PVOID CreateDeviceObject(ULONG extensionSize, PCWSTR name, DEVICE_TYPE type, PCWSTR linkName,
                                    ULONG characteristics, ULONG flags, KDeviceSetup& setup);
    // The object in a device object's extension.
    static KDevice* FromDeviceObject(PDEVICE_OBJECT deviceObject)
    {
        return static_cast<KDevice*>(deviceObject->DeviceExtension);
    }

    explicit KDevice(KDeviceSetup& setup);
    virtual ~KDevice();
    KDevice(const KDevice&) = delete;
    KDevice& operator=(const KDevice&) = delete;

    // The derived class's destructor runs first, then the device object goes,
    // and the object's memory with it.
    static void operator delete(KDevice* device, std::destroying_delete_t);
    void Destroy() { delete this; }

    NTSTATUS Dispatch(KIrp irp);

    NTSTATUS ConstructionStatus() const { return m_ConstructionStatus; }
    PDEVICE_OBJECT DeviceObject() const { return m_DeviceObject; }
    const KUnicodeName& DeviceName() const { return m_DeviceName; }
    const KUnicodeName& LinkName() const { return m_LinkName; }

    // One handler per kind of request; each base handler refuses it.
    // CreateClose and ReadWrite are reached only through KDriver's combining
    // options, kept for the framework's interface.
    virtual NTSTATUS Create(KIrp irp);
    virtual NTSTATUS CreateClose(KIrp irp);
    virtual NTSTATUS CreateNamedPipe(KIrp irp);
    virtual NTSTATUS Close(KIrp irp);
    virtual NTSTATUS Read(KIrp irp);
    virtual NTSTATUS ReadWrite(KIrp irp);
    virtual NTSTATUS Write(KIrp irp);
#define KDEVICE_DECLARE_HANDLER(name) virtual NTSTATUS name(KIrp irp);
    KDEVICE_MAJOR_HANDLERS(KDEVICE_DECLARE_HANDLER)
#undef KDEVICE_DECLARE_HANDLER

protected:
    void SetConstructionStatus(NTSTATUS status) { m_ConstructionStatus = status; }

private:
    NTSTATUS NotImplemented(KIrp irp);

    PDEVICE_OBJECT m_DeviceObject;
    ULONG m_Marker;
    KUnicodeName m_DeviceName;
    KUnicodeName m_LinkName;
    NTSTATUS m_ConstructionStatus;
    Handler m_DispatchTable[DispatchEntries];
};
