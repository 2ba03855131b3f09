// Loading and unloading drivers: the part of the service control manager
// and the I/O manager that runs a driver's entry point and unload routine.
#include "io_objects.h"
#include "threads.h"

#include <host/utf16.h>

#include <dlfcn.h>

#include <cstdio>
#include <sys/stat.h>

namespace host {

namespace {

// Devices the driver still has; each is a leak once the driver is gone.
std::size_t CountDevices(Driver& driver)
{
    std::lock_guard guard(IoLock());
    std::size_t count = 0;
    for (PDEVICE_OBJECT device = driver.body.DeviceObject; device != nullptr; device = device->NextDevice) {
        ++count;
    }
    return count;
}

// Closes the image; the driver's static objects go with it, so a later load
// starts afresh, as a new driver image does on Windows.
void CloseImage(Driver& driver, const char* when)
{
    if (CountDevices(driver) != 0) {
        std::fprintf(stderr, "host kernel: %s left %zu device(s) behind %s; its image stays loaded\n",
                     Utf16ToUtf8(driver.name).value_or("?").c_str(), CountDevices(driver), when);
        return;
    }
    Dl_info info{};
    std::string path;
    if (dladdr(reinterpret_cast<void*>(driver.body.DriverInit), &info) != 0 && info.dli_fname != nullptr) {
        path = info.dli_fname;
    }
    dlclose(driver.image);
    driver.image = nullptr;
    if (!path.empty() && dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD) != nullptr) {
        std::fprintf(stderr, "host kernel: %s could not be unloaded from memory\n", path.c_str());
    }
}

struct EntryCall {
    Driver* driver;
    UNICODE_STRING registryPath;
    NTSTATUS status;
};

}  // namespace

NTSTATUS LoadDriver(const std::string& imagePath, std::u16string_view serviceName, Driver** loaded)
{
    struct stat info {};
    if (stat(imagePath.c_str(), &info) != 0) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    void* image = dlopen(imagePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (image == nullptr) {
        std::fprintf(stderr, "host kernel: cannot load %s: %s\n", imagePath.c_str(), dlerror());
        return STATUS_INVALID_IMAGE_FORMAT;
    }
    auto entry = reinterpret_cast<PDRIVER_INITIALIZE>(dlsym(image, "DriverEntry"));
    if (entry == nullptr) {
        dlclose(image);
        return STATUS_INVALID_IMAGE_FORMAT;
    }

    Ref<Driver> driver = MakeObject<Driver>(std::u16string(serviceName));
    driver->image = image;
    driver->body.DriverInit = entry;
    std::u16string registry = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\" +
                              std::u16string(serviceName);
    EntryCall call{driver.Get(), {}, STATUS_SUCCESS};
    call.registryPath.Buffer = reinterpret_cast<PWSTR>(registry.data());
    call.registryPath.Length = static_cast<USHORT>(registry.size() * sizeof(WCHAR));
    call.registryPath.MaximumLength = call.registryPath.Length;

    RunOnSystemThread(
        [](void* context) {
            auto* c = static_cast<EntryCall*>(context);
            c->status = c->driver->body.DriverInit(&c->driver->body, &c->registryPath);
        },
        &call);

    if (!NT_SUCCESS(call.status)) {
        CloseImage(*driver, "after its entry point failed");
        return call.status;
    }
    {
        // Devices made during the entry point are ready once it returns.
        std::lock_guard guard(IoLock());
        for (PDEVICE_OBJECT device = driver->body.DeviceObject; device != nullptr; device = device->NextDevice) {
            device->Flags &= ~ULONG(DO_DEVICE_INITIALIZING);
        }
    }
    *loaded = driver.Detach();
    return call.status;
}

NTSTATUS UnloadDriver(Driver* driver)
{
    if (driver->body.DriverUnload == nullptr) {
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    {
        // A driver whose devices are still open stays: its unload routine
        // would pull the devices from under their users.
        std::lock_guard guard(IoLock());
        for (PDEVICE_OBJECT device = driver->body.DeviceObject; device != nullptr; device = device->NextDevice) {
            if (__atomic_load_n(&device->ReferenceCount, __ATOMIC_SEQ_CST) != 0) {
                return STATUS_DEVICE_BUSY;
            }
        }
    }
    RunOnSystemThread([](void* context) {
        auto* d = static_cast<Driver*>(context);
        d->body.DriverUnload(&d->body);
    }, driver);
    CloseImage(*driver, "when it was unloaded");
    driver->Release();
    return STATUS_SUCCESS;
}

}  // namespace host
