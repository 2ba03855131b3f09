// The I/O manager's objects on the host: drivers, devices, file objects on
// devices, and request packets, with the object namespace that names them.
#pragma once

#include "object_table.h"

#include <host/kernel_io.h>
#include <ntddk.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace host {

extern POBJECT_TYPE FileObjectType;

class Driver final : public KernelObject {
public:
    explicit Driver(std::u16string serviceName);
    ~Driver() override;
    void* Body() override { return &body; }

    DRIVER_OBJECT body;
    std::u16string name;  // "\Driver\<service>"
    void* image = nullptr;  // the loaded library
};

class Device final : public KernelObject {
public:
    Device(Driver& driver, ULONG extensionSize, std::u16string name);
    ~Device() override;
    void* Body() override { return &body; }

    DEVICE_OBJECT body;
    std::u16string name;  // empty for an unnamed device
    Ref<Driver> driver;
    bool deleted = false;
    void* extension = nullptr;
};

// A FILE_OBJECT opened on a device. The last reference sends IRP_MJ_CLOSE.
class DeviceFile final : public KernelObject {
public:
    explicit DeviceFile(Ref<Device> device);
    ~DeviceFile() override;
    POBJECT_TYPE Type() const override { return FileObjectType; }
    void* Body() override { return &body; }

    FILE_OBJECT body;
    Ref<Device> device;
    bool opened = false;  // IRP_MJ_CREATE succeeded
    bool cleanedUp = false;

protected:
    void OnLastReference() override;
};

// A request packet as the host allocates it. The IRP comes first, so an IRP
// pointer is a HostIrp pointer.
struct HostIrp {
    IRP irp;
    IO_STACK_LOCATION* stack;
    bool completed;
    // The I/O manager's last step for requests it built; none for requests a
    // driver allocated, which the driver frees itself.
    void (*finish)(HostIrp* irp);
    void* owner;
};

HostIrp* AllocateHostIrp(CCHAR stackSize);
void FreeHostIrp(HostIrp* irp);
HostIrp* FromIrp(PIRP irp);

// The object namespace: device names and symbolic links, case-insensitive.
NTSTATUS InsertDeviceName(const std::u16string& name, Device* device);
void RemoveDeviceName(const std::u16string& name);
NTSTATUS InsertLink(const std::u16string& link, const std::u16string& target);
// Pushes another target onto a link, which then hides the earlier ones.
NTSTATUS PushLink(const std::u16string& link, const std::u16string& target);
// Removes the most recent target; STATUS_OBJECT_NAME_NOT_FOUND when none.
NTSTATUS PopLink(const std::u16string& link, const std::u16string* target);
NTSTATUS RemoveLink(const std::u16string& link);
// A link's targets, the most recent first; none when it is no link.
std::vector<std::u16string> LinkTargets(const std::u16string& link);
// Follows links to a device. STATUS_OBJECT_NAME_NOT_FOUND when the name
// leads nowhere, STATUS_OBJECT_PATH_NOT_FOUND when it leads outside devices.
NTSTATUS FindDevice(const std::u16string& name, Ref<Device>& device);
bool NameExists(const std::u16string& name);

// The lock that guards drivers' device lists and the shutdown list.
std::mutex& IoLock();

// Sends a request synchronously on the calling thread and waits for it.
IoResult SendIrpAndWait(Device& device, DeviceFile* file, UCHAR major, const void* input, ULONG inputLength,
                        void* output, ULONG outputLength, ULONG code, LONGLONG offset);

}  // namespace host
