// The I/O manager's side of a request from a caller: it builds the request
// packet with its buffers, sends it down on the calling thread, and when the
// driver completes it copies the results back and wakes whoever waits.
#include "io_objects.h"
#include "threads.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace host {

struct PendingIo::State {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    IoResult result{STATUS_PENDING, 0};

    // Where results go back to, and what the request holds meanwhile.
    void* output = nullptr;
    ULONG outputLength = 0;
    bool copyOut = false;
    void* systemBuffer = nullptr;
    MDL mdl{};
    Ref<Device> device;
    Ref<DeviceFile> file;

    ~State() { std::free(systemBuffer); }
};

namespace {

using State = PendingIo::State;

void Finish(HostIrp* irp)
{
    auto* holder = static_cast<std::shared_ptr<State>*>(irp->owner);
    std::shared_ptr<State> state = *holder;
    delete holder;
    const IO_STATUS_BLOCK status = irp->irp.IoStatus;
    FreeHostIrp(irp);
    if (state->copyOut && !NT_ERROR(status.Status) && state->output != nullptr) {
        const ULONG_PTR bytes = status.Information < state->outputLength ? status.Information : state->outputLength;
        std::memcpy(state->output, state->systemBuffer, bytes);
    }
    // The request lets go of its file object before anyone learns it is
    // done, so that a caller who then closes the handle sees its device idle.
    // Releasing the file may send IRP_MJ_CLOSE; not under the state's lock.
    state->file.Reset();
    {
        std::lock_guard guard(state->lock);
        state->result = {status.Status, status.Information};
        state->done = true;
    }
    state->finished.notify_all();
}

// The locked-buffer description of a caller's buffer.
void DescribeBuffer(MDL& mdl, void* buffer, ULONG length)
{
    const auto address = reinterpret_cast<ULONG_PTR>(buffer);
    mdl.Size = sizeof(MDL);
    mdl.MdlFlags = MDL_PAGES_LOCKED;
    mdl.StartVa = reinterpret_cast<PVOID>(address & ~ULONG_PTR(PAGE_SIZE - 1));
    mdl.ByteOffset = static_cast<ULONG>(address & (PAGE_SIZE - 1));
    mdl.ByteCount = length;
}

void* CopyToSystemBuffer(const void* input, ULONG inputLength, ULONG size)
{
    if (size == 0) {
        return nullptr;
    }
    void* buffer = std::calloc(1, size);
    if (input != nullptr && inputLength != 0) {
        std::memcpy(buffer, input, inputLength);
    }
    return buffer;
}

struct RequestPlan {
    UCHAR major;
    ULONG code = 0;
    const void* input = nullptr;
    ULONG inputLength = 0;
    void* output = nullptr;
    ULONG outputLength = 0;
    LONGLONG offset = 0;
};

PendingIo Send(Device& device, DeviceFile* file, const RequestPlan& plan)
{
    auto state = std::make_shared<State>();
    state->device = Ref<Device>::Share(&device);
    // IRP_MJ_CLOSE is sent by the file object's last release: it may not
    // take the object up again.
    if (plan.major != IRP_MJ_CLOSE) {
        state->file = Ref<DeviceFile>::Share(file);
    }
    HostIrp* request = AllocateHostIrp(device.body.StackSize);
    PIRP irp = &request->irp;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = plan.major;
    next->FileObject = file != nullptr ? &file->body : nullptr;
    irp->RequestorMode = UserMode;
    irp->UserBuffer = plan.output;

    switch (plan.major) {
    case IRP_MJ_DEVICE_CONTROL:
    case IRP_MJ_INTERNAL_DEVICE_CONTROL:
        next->Parameters.DeviceIoControl.IoControlCode = plan.code;
        next->Parameters.DeviceIoControl.InputBufferLength = plan.inputLength;
        next->Parameters.DeviceIoControl.OutputBufferLength = plan.outputLength;
        if ((plan.code & 3) == METHOD_BUFFERED) {
            // One system buffer carries the input in and the output back.
            const ULONG size = plan.inputLength > plan.outputLength ? plan.inputLength : plan.outputLength;
            state->systemBuffer = CopyToSystemBuffer(plan.input, plan.inputLength, size);
            state->output = plan.output;
            state->outputLength = plan.outputLength;
            state->copyOut = true;
        } else if ((plan.code & 3) == METHOD_NEITHER) {
            next->Parameters.DeviceIoControl.Type3InputBuffer = const_cast<void*>(plan.input);
        } else {
            state->systemBuffer = CopyToSystemBuffer(plan.input, plan.inputLength, plan.inputLength);
            if (plan.output != nullptr && plan.outputLength != 0) {
                DescribeBuffer(state->mdl, plan.output, plan.outputLength);
                irp->MdlAddress = &state->mdl;
            }
        }
        irp->AssociatedIrp.SystemBuffer = state->systemBuffer;
        break;
    case IRP_MJ_READ:
    case IRP_MJ_WRITE: {
        next->Parameters.Read.Length = plan.outputLength;
        next->Parameters.Read.ByteOffset.QuadPart = plan.offset;
        const bool write = plan.major == IRP_MJ_WRITE;
        void* buffer = write ? const_cast<void*>(plan.input) : plan.output;
        if ((device.body.Flags & DO_DIRECT_IO) != 0) {
            DescribeBuffer(state->mdl, buffer, plan.outputLength);
            irp->MdlAddress = &state->mdl;
        } else if ((device.body.Flags & DO_BUFFERED_IO) != 0) {
            state->systemBuffer =
                CopyToSystemBuffer(write ? plan.input : nullptr, write ? plan.outputLength : 0, plan.outputLength);
            irp->AssociatedIrp.SystemBuffer = state->systemBuffer;
            if (!write) {
                state->output = plan.output;
                state->outputLength = plan.outputLength;
                state->copyOut = true;
            }
        } else {
            irp->UserBuffer = buffer;
        }
        break;
    }
    default:
        break;
    }

    request->finish = Finish;
    request->owner = new std::shared_ptr<State>(state);
    IofCallDriver(&device.body, irp);
    return PendingIo(state);
}

}  // namespace

IoResult PendingIo::Wait()
{
    std::unique_lock guard(m_State->lock);
    m_State->finished.wait(guard, [&] { return m_State->done; });
    return m_State->result;
}

bool PendingIo::WaitFor(unsigned milliseconds)
{
    std::unique_lock guard(m_State->lock);
    return m_State->finished.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                      [&] { return m_State->done; });
}

bool PendingIo::Done() const
{
    std::lock_guard guard(m_State->lock);
    return m_State->done;
}

IoResult SendIrpAndWait(Device& device, DeviceFile* file, UCHAR major, const void* input, ULONG inputLength,
                        void* output, ULONG outputLength, ULONG code, LONGLONG offset)
{
    RequestPlan plan{major, code, input, inputLength, output, outputLength, offset};
    return Send(device, file, plan).Wait();
}

NTSTATUS OpenDevice(std::u16string_view name, DeviceHandle& handle)
{
    handle.Close();
    Ref<Device> device;
    NTSTATUS status = FindDevice(std::u16string(name), device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    Ref<DeviceFile> file = MakeObject<DeviceFile>(device);
    status = SendIrpAndWait(*device, file.Get(), IRP_MJ_CREATE, nullptr, 0, nullptr, 0, 0, 0).status;
    if (!NT_SUCCESS(status)) {
        return status;
    }
    file->opened = true;
    handle.m_File = file.Detach();
    return STATUS_SUCCESS;
}

DeviceHandle::~DeviceHandle()
{
    Close();
}

DeviceHandle::DeviceHandle(DeviceHandle&& other) noexcept : m_File(std::exchange(other.m_File, nullptr)) {}

DeviceHandle& DeviceHandle::operator=(DeviceHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        m_File = std::exchange(other.m_File, nullptr);
    }
    return *this;
}

void DeviceHandle::Close()
{
    DeviceFile* file = std::exchange(m_File, nullptr);
    if (file == nullptr) {
        return;
    }
    if (!file->cleanedUp) {
        file->cleanedUp = true;
        SendIrpAndWait(*file->device, file, IRP_MJ_CLEANUP, nullptr, 0, nullptr, 0, 0, 0);
    }
    file->Release();
}

PendingIo SendDeviceIoControl(const DeviceHandle& handle, ULONG code, const void* input, ULONG inputLength,
                              void* output, ULONG outputLength)
{
    RequestPlan plan{IRP_MJ_DEVICE_CONTROL, code, input, inputLength, output, outputLength, 0};
    return Send(*handle.File()->device, handle.File(), plan);
}

PendingIo SendRead(const DeviceHandle& handle, void* buffer, ULONG length, LONGLONG offset)
{
    RequestPlan plan{IRP_MJ_READ, 0, nullptr, 0, buffer, length, offset};
    return Send(*handle.File()->device, handle.File(), plan);
}

PendingIo SendWrite(const DeviceHandle& handle, const void* buffer, ULONG length, LONGLONG offset)
{
    RequestPlan plan{IRP_MJ_WRITE, 0, buffer, length, nullptr, length, offset};
    return Send(*handle.File()->device, handle.File(), plan);
}

}  // namespace host
