// Requests to kernel devices, as the I/O manager sends them on behalf of a
// caller: open a device by name, send reads, writes and device controls,
// close it. The requests reach the driver's dispatch routines on the calling
// thread, exactly as on Windows. Also: loading and unloading drivers.
#pragma once

#include <ntdef.h>

#include <memory>
#include <string>
#include <string_view>

namespace host {

struct IoResult {
    NTSTATUS status;
    ULONG_PTR information;
};

class DeviceFile;

// An open file object on a device; closing it sends IRP_MJ_CLEANUP and,
// once nothing refers to it any more, IRP_MJ_CLOSE.
class DeviceHandle {
public:
    DeviceHandle() = default;
    ~DeviceHandle();
    DeviceHandle(DeviceHandle&& other) noexcept;
    DeviceHandle& operator=(DeviceHandle&& other) noexcept;
    DeviceHandle(const DeviceHandle&) = delete;
    DeviceHandle& operator=(const DeviceHandle&) = delete;

    bool IsOpen() const { return m_File != nullptr; }
    void Close();
    DeviceFile* File() const { return m_File; }

private:
    friend NTSTATUS OpenDevice(std::u16string_view name, DeviceHandle& handle);
    DeviceFile* m_File = nullptr;
};

// name: a device ("\Device\VantorDevice0") or a link to one ("\??\VantorDevice0").
NTSTATUS OpenDevice(std::u16string_view name, DeviceHandle& handle);

// A request on its way: the driver may finish it at once or later.
class PendingIo {
public:
    struct State;
    explicit PendingIo(std::shared_ptr<State> state) : m_State(std::move(state)) {}
    IoResult Wait();
    // False when the request is still outstanding after `milliseconds`.
    bool WaitFor(unsigned milliseconds);
    bool Done() const;

private:
    std::shared_ptr<State> m_State;
};

// METHOD_BUFFERED requests share one system buffer for input and output;
// direct I/O devices get a locked-buffer description for reads and writes.
// The buffers must stay valid until the request is done.
PendingIo SendDeviceIoControl(const DeviceHandle& handle, ULONG code, const void* input, ULONG inputLength,
                              void* output, ULONG outputLength);
PendingIo SendRead(const DeviceHandle& handle, void* buffer, ULONG length, LONGLONG offset);
PendingIo SendWrite(const DeviceHandle& handle, const void* buffer, ULONG length, LONGLONG offset);

inline IoResult DeviceIoControl(const DeviceHandle& handle, ULONG code, const void* input, ULONG inputLength,
                                void* output, ULONG outputLength)
{
    return SendDeviceIoControl(handle, code, input, inputLength, output, outputLength).Wait();
}

// Sends IRP_MJ_SHUTDOWN to every device registered for it, as Windows does
// when it shuts down.
void SendShutdownNotifications();

// Whether a name (device or link) exists in the object namespace.
bool ObjectNameExists(std::u16string_view name);

// --- Drivers --------------------------------------------------------------
class Driver;

// Loads a driver image (a host shared library exporting DriverEntry) and runs
// its entry point on a system thread, as the service control manager has
// Windows do. On failure nothing stays loaded, unless the driver left devices
// behind, which the host reports on standard error.
NTSTATUS LoadDriver(const std::string& imagePath, std::u16string_view serviceName, Driver** driver);
// Runs the unload routine and unloads the image. STATUS_INVALID_DEVICE_REQUEST
// for a driver without an unload routine, STATUS_DEVICE_BUSY while a file
// object is open on one of its devices; the driver then stays loaded.
NTSTATUS UnloadDriver(Driver* driver);

}  // namespace host
