// One unit of the vault disk driver: a disk device that serves one vault
// file at a time. Requests arrive on the senders' threads; file work is
// queued and carried out in arrival order by the unit's own worker thread.
#pragma once

#include "client_security.h"
#include "framework/kdevice.h"
#include "framework/kdispobj.h"
#include "framework/kevent.h"
#include "framework/kqueue.h"
#include "vault_image.h"

#include <atomic>

class VantorDevice : public KDevice {
public:
    VantorDevice(KDeviceSetup& setup, ULONG unit);
    ~VantorDevice() override;

    // ^KDevice
    NTSTATUS Create(KIrp irp) override;
    NTSTATUS Close(KIrp irp) override;
    NTSTATUS Read(KIrp irp) override;
    NTSTATUS Write(KIrp irp) override;
    NTSTATUS DeviceControl(KIrp irp) override;
    NTSTATUS InternalDeviceControl(KIrp irp) override;
    NTSTATUS Shutdown(KIrp irp) override;
    NTSTATUS CleanUp(KIrp irp) override;

private:
    // A request waiting for the worker.
    struct QueueEntry {
        PIRP Irp;
        LIST_ENTRY Link;
    };

    // Answered at once, with an entry and an exit trace line.
    NTSTATUS AnswerAtOnce(KIrp irp, PCSTR handler, NTSTATUS status);

    // The request engine.
    bool StartWorker();
    void StopWorker();
    static VOID NTAPI WorkerThread(PVOID context);
    void WorkerLoop();
    NTSTATUS QueueTransfer(KIrp irp);
    NTSTATUS Enqueue(KIrp irp);
    void CarryOut(KIrp irp);
    NTSTATUS CarryOutTransfer(KIrp irp, bool write);
    NTSTATUS AnswerDiskQuery(KIrp irp);

    // The control protocol.
    static bool IsPrivateControl(ULONG code);
    NTSTATUS DispatchPrivateControl(KIrp irp);
    NTSTATUS CarryOutControl(KIrp irp);
    NTSTATUS IOCTL_OPENDISKFILE_Handler(KIrp irp);
    NTSTATUS IOCTL_CLOSEDISKFILE_Handler(KIrp irp);
    NTSTATUS IOCTL_CHANGEPWD_Handler(KIrp irp);

    ULONG m_Unit;
    VaultImage m_Image;
    std::atomic<bool> m_Terminate;
    KWaitableObject m_Worker;  // the worker's thread object, referenced
    KEvent m_WorkEvent;
    ClientSecurity m_Client;
    KRequestQueue m_Queue;
};
