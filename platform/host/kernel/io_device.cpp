// Drivers, devices, symbolic links and shutdown notification.
#include "bugcheck.h"
#include "faults.h"
#include "io_objects.h"
#include "threads.h"

#include <host/utf16.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

struct ObjectTypeTag {
    const char* name;
};
ObjectTypeTag g_FileType{"File"};

std::vector<Device*>& ShutdownList()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static std::vector<Device*>* devices = new std::vector<Device*>;
    return *devices;
}

std::u16string NameOf(PCUNICODE_STRING name)
{
    return std::u16string(AsUtf16(name->Buffer, name->Length / sizeof(WCHAR)));
}

NTSTATUS InvalidDeviceRequest(PDEVICE_OBJECT, PIRP Irp)
{
    Irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
    Irp->IoStatus.Information = 0;
    IofCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_INVALID_DEVICE_REQUEST;
}

}  // namespace

POBJECT_TYPE FileObjectType = reinterpret_cast<POBJECT_TYPE>(&g_FileType);

Driver::Driver(std::u16string serviceName) : body{}, name(u"\\Driver\\" + serviceName)
{
    body.Type = 4;
    body.Size = sizeof body;
    // Request kinds a driver leaves alone are refused, as by Windows.
    for (auto& dispatch : body.MajorFunction) {
        dispatch = InvalidDeviceRequest;
    }
    body.DriverName.Buffer = reinterpret_cast<PWSTR>(name.data());
    body.DriverName.Length = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    body.DriverName.MaximumLength = body.DriverName.Length;
    RegisterBody(&body, this);
}

Driver::~Driver()
{
    UnregisterBody(&body);
}

Device::Device(Driver& owner, ULONG extensionSize, std::u16string deviceName)
    : body{}, name(std::move(deviceName)), driver(Ref<Driver>::Share(&owner))
{
    if (extensionSize != 0) {
        // The extension starts zeroed, as Windows gives it.
        extension = std::aligned_alloc(16, (extensionSize + 15) / 16 * 16);
        std::memset(extension, 0, extensionSize);
    }
    body.Type = 3;
    body.Size = static_cast<USHORT>(sizeof body);
    body.ReferenceCount = 0;
    body.DriverObject = &owner.body;
    body.DeviceExtension = extension;
    body.StackSize = 1;
    body.AlignmentRequirement = 0;
    RegisterBody(&body, this);
}

Device::~Device()
{
    UnregisterBody(&body);
    std::free(extension);
}

DeviceFile::DeviceFile(Ref<Device> target) : body{}, device(std::move(target))
{
    // The device object counts the file objects open on it, as on Windows.
    __atomic_add_fetch(&device->body.ReferenceCount, 1, __ATOMIC_SEQ_CST);
    body.Type = 5;
    body.Size = sizeof body;
    body.DeviceObject = &device->body;
    RegisterBody(&body, this);
}

DeviceFile::~DeviceFile()
{
    __atomic_sub_fetch(&device->body.ReferenceCount, 1, __ATOMIC_SEQ_CST);
    UnregisterBody(&body);
}

void DeviceFile::OnLastReference()
{
    if (opened) {
        opened = false;
        SendIrpAndWait(*device, this, IRP_MJ_CLOSE, nullptr, 0, nullptr, 0, 0, 0);
    }
}

void SendShutdownNotifications()
{
    std::vector<Ref<Device>> devices;
    {
        std::lock_guard guard(IoLock());
        for (Device* device : ShutdownList()) {
            devices.push_back(Ref<Device>::Share(device));
        }
    }
    for (auto& device : devices) {
        SendIrpAndWait(*device, nullptr, IRP_MJ_SHUTDOWN, nullptr, 0, nullptr, 0, 0, 0);
    }
}

}  // namespace host

using host::Device;
using host::Driver;
using host::Ref;

extern "C" {

POBJECT_TYPE* IoFileObjectType = &host::FileObjectType;

NTSTATUS NTAPI IoCreateDevice(PDRIVER_OBJECT DriverObject, ULONG DeviceExtensionSize, PUNICODE_STRING DeviceName,
                              DEVICE_TYPE DeviceType, ULONG DeviceCharacteristics, BOOLEAN Exclusive,
                              PDEVICE_OBJECT* DeviceObject)
{
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "IoCreateDevice");
    auto* driver = dynamic_cast<Driver*>(host::ObjectFromBody(DriverObject));
    if (driver == nullptr || DeviceObject == nullptr) {
        host::BugCheck("INVALID_PARAMETER", "IoCreateDevice without a driver object");
    }
    NTSTATUS status = STATUS_SUCCESS;
    if (host::TakeFault(host::KernelCall::IoCreateDevice, status)) {
        return status;
    }
    std::u16string name = DeviceName != nullptr ? host::NameOf(DeviceName) : std::u16string();
    Ref<Device> device = host::MakeObject<Device>(*driver, DeviceExtensionSize, name);
    if (!name.empty()) {
        status = host::InsertDeviceName(name, device.Get());
        if (!NT_SUCCESS(status)) {
            return status;
        }
    }
    device->body.DeviceType = DeviceType;
    device->body.Characteristics = DeviceCharacteristics;
    device->body.Flags = DO_DEVICE_INITIALIZING | (Exclusive ? DO_EXCLUSIVE : 0);
    device->body.SectorSize = DeviceType == FILE_DEVICE_DISK ? 512 : 0;
    {
        std::lock_guard guard(host::IoLock());
        device->body.NextDevice = DriverObject->DeviceObject;
        DriverObject->DeviceObject = &device->body;
    }
    // The creation reference stays until IoDeleteDevice.
    *DeviceObject = &device.Detach()->body;
    return STATUS_SUCCESS;
}

VOID NTAPI IoDeleteDevice(PDEVICE_OBJECT DeviceObject)
{
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "IoDeleteDevice");
    auto* device = dynamic_cast<Device*>(host::ObjectFromBody(DeviceObject));
    if (device == nullptr || device->deleted) {
        host::BugCheck("INVALID_PARAMETER", "IoDeleteDevice on something that is not a live device");
    }
    if (!device->name.empty()) {
        host::RemoveDeviceName(device->name);
    }
    {
        std::lock_guard guard(host::IoLock());
        if ((DeviceObject->Flags & DO_SHUTDOWN_REGISTERED) != 0) {
            auto& list = host::ShutdownList();
            list.erase(std::remove(list.begin(), list.end(), device), list.end());
        }
        PDEVICE_OBJECT* link = &DeviceObject->DriverObject->DeviceObject;
        while (*link != nullptr && *link != DeviceObject) {
            link = &(*link)->NextDevice;
        }
        if (*link == DeviceObject) {
            *link = DeviceObject->NextDevice;
        }
        device->deleted = true;
    }
    // Open file objects keep the object, and its extension, until they close.
    device->Release();
}

NTSTATUS NTAPI IoCreateSymbolicLink(PUNICODE_STRING SymbolicLinkName, PUNICODE_STRING DeviceName)
{
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "IoCreateSymbolicLink");
    NTSTATUS status = STATUS_SUCCESS;
    if (host::TakeFault(host::KernelCall::IoCreateSymbolicLink, status)) {
        return status;
    }
    return host::InsertLink(host::NameOf(SymbolicLinkName), host::NameOf(DeviceName));
}

NTSTATUS NTAPI IoDeleteSymbolicLink(PUNICODE_STRING SymbolicLinkName)
{
    host::RequireIrqlAtMost(PASSIVE_LEVEL, "IoDeleteSymbolicLink");
    return host::RemoveLink(host::NameOf(SymbolicLinkName));
}

NTSTATUS NTAPI IoRegisterShutdownNotification(PDEVICE_OBJECT DeviceObject)
{
    auto* device = dynamic_cast<Device*>(host::ObjectFromBody(DeviceObject));
    if (device == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    std::lock_guard guard(host::IoLock());
    if ((DeviceObject->Flags & DO_SHUTDOWN_REGISTERED) == 0) {
        host::ShutdownList().push_back(device);
        DeviceObject->Flags |= DO_SHUTDOWN_REGISTERED;
    }
    return STATUS_SUCCESS;
}

VOID NTAPI IoUnregisterShutdownNotification(PDEVICE_OBJECT DeviceObject)
{
    auto* device = dynamic_cast<Device*>(host::ObjectFromBody(DeviceObject));
    std::lock_guard guard(host::IoLock());
    auto& list = host::ShutdownList();
    list.erase(std::remove(list.begin(), list.end(), device), list.end());
    DeviceObject->Flags &= ~ULONG(DO_SHUTDOWN_REGISTERED);
}

}  // extern "C"
