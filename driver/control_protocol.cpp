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

// The name is read only within its field; one without a terminator there is
// no name at all.
bool HasTerminatedName(const OPENDISKFILE_INFO& info)
{
    for (WCHAR unit : info.FileName) {
        if (unit == 0) {
            return true;
        }
    }
    return false;
}

VaultImage::PasswordField& PasswordBytes(wchar_t (&password)[VANTOR_PASSWORD_CHARS])
{
    return *reinterpret_cast<VaultImage::PasswordField*>(password);
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
    g_Trace.Trace(1, "VantorDevice::IOCTL_OPENDISKFILE_Handler++.  IRP %p\n", irp.Irp());
    NTSTATUS status = STATUS_SUCCESS;
    if (m_Image.IsMounted()) {
        status = STATUS_INVALID_DEVICE_REQUEST;
    } else if (irp.IoctlInputLength() != sizeof(OPENDISKFILE_INFO)) {
        status = STATUS_INVALID_PARAMETER;
    } else {
        auto* info = static_cast<OPENDISKFILE_INFO*>(irp.SystemBuffer());
        status = HasTerminatedName(*info)
                     ? m_Image.Mount(info->FileName, PasswordBytes(info->Password), ULONGLONG(info->FileSize))
                     : STATUS_INVALID_PARAMETER;
    }
    irp.Information() = 0;
    g_Trace.Trace(NT_SUCCESS(status) ? 1 : 2, "VantorDevice::IOCTL_OPENDISKFILE_Handler--.  IRP %p, STATUS %x\n",
                  irp.Irp(), status);
    return status;
}

NTSTATUS VantorDevice::IOCTL_CLOSEDISKFILE_Handler(KIrp irp)
{
    g_Trace.Trace(1, "VantorDevice::IOCTL_CLOSEDISKFILE_Handler++.  IRP %p\n", irp.Irp());
    const NTSTATUS status = m_Image.Unmount();
    irp.Information() = 0;
    g_Trace.Trace(NT_SUCCESS(status) ? 1 : 2, "VantorDevice::IOCTL_CLOSEDISKFILE_Handler--.  IRP %p, STATUS %x\n",
                  irp.Irp(), status);
    return status;
}

NTSTATUS VantorDevice::IOCTL_CHANGEPWD_Handler(KIrp irp)
{
    g_Trace.Trace(1, "VantorDevice::IOCTL_CHANGEPWD_Handler++.  IRP %p\n", irp.Irp());
    NTSTATUS status = STATUS_SUCCESS;
    if (!m_Image.IsMounted()) {
        status = STATUS_NO_MEDIA_IN_DEVICE;
    } else if (irp.IoctlInputLength() != sizeof(NewPassword)) {
        status = STATUS_INVALID_PARAMETER;
    } else {
        status = m_Image.ChangePassword(PasswordBytes(static_cast<NewPassword*>(irp.SystemBuffer())->Password));
    }
    irp.Information() = 0;
    g_Trace.Trace(NT_SUCCESS(status) ? 1 : 2, "VantorDevice::IOCTL_CHANGEPWD_Handler--.  IRP %p, STATUS %x\n",
                  irp.Irp(), status);
    return status;
}
