// Another driver's device, called by name: requests are sent to it and
// waited for.
#pragma once

#include <ntifs.h>

class KLowerDevice {
public:
    KLowerDevice();
    ~KLowerDevice();
    KLowerDevice(const KLowerDevice&) = delete;
    KLowerDevice& operator=(const KLowerDevice&) = delete;

    // name: the device's object name, such as "\Device\VantorDevice0".
    NTSTATUS Attach(PCWSTR name, ACCESS_MASK access);
    void Release();

    PDEVICE_OBJECT DeviceObject() const { return m_DeviceObject; }
    // Stack locations a request for this device needs.
    CCHAR StackSize() const { return m_DeviceObject->StackSize; }

    // Sends a request the caller allocated (IoAllocateIrp with StackSize())
    // and set up, and waits for it. The caller frees the request afterwards.
    NTSTATUS Call(PIRP irp, ULONG_PTR* information = nullptr);
    // Builds a device control request, sends it and waits if it is pending.
    NTSTATUS DeviceControl(ULONG code, PVOID input, ULONG inputLength, PVOID output, ULONG outputLength,
                           BOOLEAN internal, ULONG_PTR* information = nullptr);

private:
    PFILE_OBJECT m_FileObject;
    PDEVICE_OBJECT m_DeviceObject;
};
