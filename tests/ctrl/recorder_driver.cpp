// A test driver that stands where a disk driver would and records what it is
// sent: units \Device\VantorDevice7 (link \??\VantorDevice7) and
// \Device\PlainDisk\PlainDisk3. Every device control other than its own is
// kept (code and input bytes) and answered with the status last set.
#include "recorder_protocol.h"

#include <ntifs.h>
#include <ntddstor.h>

#include <string.h>

namespace {

PDEVICE_OBJECT g_Devices[2];
RecorderRecord g_Last;
NTSTATUS g_Answer = STATUS_SUCCESS;
KSPIN_LOCK g_Lock;

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information)
{
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS NTAPI Open(PDEVICE_OBJECT, PIRP irp)
{
    return Complete(irp, STATUS_SUCCESS, 0);
}

NTSTATUS NTAPI Control(PDEVICE_OBJECT, PIRP irp)
{
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG code = location->Parameters.DeviceIoControl.IoControlCode;
    const ULONG input = location->Parameters.DeviceIoControl.InputBufferLength;
    const ULONG output = location->Parameters.DeviceIoControl.OutputBufferLength;
    void* buffer = irp->AssociatedIrp.SystemBuffer;
    KIRQL irql;
    if (code == IOCTL_STORAGE_CHECK_VERIFY) {
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    if (code == IOCTL_RECORDER_LAST) {
        if (output < sizeof(RecorderRecord)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL, 0);
        }
        KeAcquireSpinLock(&g_Lock, &irql);
        memcpy(buffer, &g_Last, sizeof g_Last);
        KeReleaseSpinLock(&g_Lock, irql);
        return Complete(irp, STATUS_SUCCESS, sizeof(RecorderRecord));
    }
    if (code == IOCTL_RECORDER_ANSWER) {
        if (input < sizeof(NTSTATUS)) {
            return Complete(irp, STATUS_INVALID_PARAMETER, 0);
        }
        memcpy(&g_Answer, buffer, sizeof g_Answer);
        return Complete(irp, STATUS_SUCCESS, 0);
    }
    KeAcquireSpinLock(&g_Lock, &irql);
    g_Last.Count += 1;
    g_Last.Code = code;
    g_Last.Length = input;
    memset(g_Last.Bytes, 0, sizeof g_Last.Bytes);
    if (buffer != nullptr) {
        memcpy(g_Last.Bytes, buffer, input < sizeof g_Last.Bytes ? input : sizeof g_Last.Bytes);
    }
    KeReleaseSpinLock(&g_Lock, irql);
    return Complete(irp, g_Answer, 0);
}

VOID NTAPI Unload(PDRIVER_OBJECT)
{
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, L"\\??\\VantorDevice7");
    IoDeleteSymbolicLink(&link);
    for (PDEVICE_OBJECT device : g_Devices) {
        if (device != nullptr) {
            IoDeleteDevice(device);
        }
    }
}

}  // namespace

extern "C" NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING)
{
    KeInitializeSpinLock(&g_Lock);
    const wchar_t* names[] = {L"\\Device\\VantorDevice7", L"\\Device\\PlainDisk\\PlainDisk3"};
    for (int i = 0; i < 2; ++i) {
        UNICODE_STRING name;
        RtlInitUnicodeString(&name, names[i]);
        NTSTATUS status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_DISK, 0, FALSE, &g_Devices[i]);
        if (!NT_SUCCESS(status)) {
            Unload(driver);
            return status;
        }
    }
    UNICODE_STRING link;
    UNICODE_STRING target;
    RtlInitUnicodeString(&link, L"\\??\\VantorDevice7");
    RtlInitUnicodeString(&target, names[0]);
    IoCreateSymbolicLink(&link, &target);
    driver->MajorFunction[IRP_MJ_CREATE] = Open;
    driver->MajorFunction[IRP_MJ_CLEANUP] = Open;
    driver->MajorFunction[IRP_MJ_CLOSE] = Open;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = Control;
    driver->DriverUnload = Unload;
    return STATUS_SUCCESS;
}
