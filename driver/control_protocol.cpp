// The driver's three private control requests: open a vault file on a unit,
// close it, give it a new password. Each is queued at dispatch and carried
// out by the unit's worker; an open also captures the sender's security into
// its own queue entry, so that the worker opens the file with the sender's
// rights.
#include "vantor_device.h"
#include "vantor_ioctl.h"
#include "vantor_trace.h"

namespace {

static_assert(sizeof(SECURITY_QUALITY_OF_SERVICE) == 12, "quality of service record");

// Runs a private request's handler between its entry and exit trace lines;
// the exit line of a failure is at level 2.
template <class Handler>
NTSTATUS Traced(KIrp irp, PCSTR name, Handler handler)
{
    g_Trace.Trace(1, "VantorDevice::%s++.  IRP %p\n", name, irp.Irp());
    const NTSTATUS status = handler();
    irp.Information() = 0;
    g_Trace.Trace(NT_SUCCESS(status) ? 1 : 2, "VantorDevice::%s--.  IRP %p, STATUS %x\n", name, irp.Irp(), status);
    return status;
}

}  // namespace

bool VantorDevice::IsPrivateControl(ULONG code)
{
    return code == IOCTL_OPENDISKFILE || code == IOCTL_CLOSEDISKFILE || code == IOCTL_CHANGEPWD;
}

NTSTATUS VantorDevice::DispatchPrivateControl(KIrp irp)
{
    OwnedEntry entry = MakeEntry(irp);
    if (!entry) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    if (irp.IoctlCode() == IOCTL_OPENDISKFILE) {
        // Opening the vault as anyone but its sender would hand the sender
        // the rights of the system. The identity goes with this request
        // alone: other opens may be queued before the worker reaches it.
        const NTSTATUS status = entry->Sender.CaptureCurrentThread();
        if (!NT_SUCCESS(status)) {
            entry.reset();
            return irp.Complete(status);
        }
    }
    return Enqueue(irp, std::move(entry));
}

NTSTATUS VantorDevice::CarryOutControl(QueueEntry& entry)
{
    KIrp irp(entry.Irp);
    switch (irp.IoctlCode()) {
    case IOCTL_OPENDISKFILE:
        // The worker keeps this identity until the next open replaces it:
        // the vault file's rights were fixed when it was opened.
        entry.Sender.ImpersonateOnCurrentThread();
        return IOCTL_OPENDISKFILE_Handler(irp);
    case IOCTL_CLOSEDISKFILE:
        return IOCTL_CLOSEDISKFILE_Handler(irp);
    case IOCTL_CHANGEPWD:
        return IOCTL_CHANGEPWD_Handler(irp);
    default:
        return STATUS_INVALID_DEVICE_REQUEST;
    }
}

NTSTATUS VantorDevice::IOCTL_OPENDISKFILE_Handler(KIrp irp)
{
    return Traced(irp, "IOCTL_OPENDISKFILE_Handler", [&]() -> NTSTATUS {
        if (m_Image.IsMounted()) {
            return STATUS_INVALID_DEVICE_REQUEST;
        }
        if (irp.IoctlInputLength() != sizeof(OPENDISKFILE_INFO)) {
            return STATUS_INVALID_PARAMETER;
        }
        const auto& info = *static_cast<const OPENDISKFILE_INFO*>(irp.SystemBuffer());
        if (!VaultImage::HoldsTerminatedText(info.FileName)) {
            return STATUS_INVALID_PARAMETER;
        }
        VaultImage::PasswordCopy password(info.Password);
        return m_Image.Mount(info.FileName, password.Field(), ULONGLONG(info.FileSize));
    });
}

NTSTATUS VantorDevice::IOCTL_CLOSEDISKFILE_Handler(KIrp irp)
{
    return Traced(irp, "IOCTL_CLOSEDISKFILE_Handler", [&]() -> NTSTATUS { return m_Image.Unmount(); });
}

NTSTATUS VantorDevice::IOCTL_CHANGEPWD_Handler(KIrp irp)
{
    return Traced(irp, "IOCTL_CHANGEPWD_Handler", [&]() -> NTSTATUS {
        if (!m_Image.IsMounted()) {
            return STATUS_NO_MEDIA_IN_DEVICE;
        }
        if (irp.IoctlInputLength() != sizeof(NewPassword)) {
            return STATUS_INVALID_PARAMETER;
        }
        VaultImage::PasswordCopy password(static_cast<const NewPassword*>(irp.SystemBuffer())->Password);
        return m_Image.ChangePassword(password.Field());
    });
}
