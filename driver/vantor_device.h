// One unit of the vault disk driver: a disk device that serves one vault
// file at a time. Requests arrive on the senders' threads; file work is
// queued and carried out in arrival order by the unit's own worker thread.
//
// The class's parts live in these files:
//   driver_entry.cpp      construction, destruction, and the requests answered
//                         at once (create, close, clean-up, shutdown, internal
//                         device control)
//   request_engine.cpp    the queue and the worker: reads, writes, device
//                         control dispatch, carrying out and completing
//   control_protocol.cpp  the three private requests: open, close, change
//                         password
//   disk_queries.cpp      the disk queries, as a function of their own
//                         (disk_queries.h) that the engine calls
//   vault_image.cpp       the vault file itself, a class of its own (VaultImage)
#pragma once

#include "client_security.h"
#include "framework/kdevice.h"
#include "framework/kdispobj.h"
#include "framework/kevent.h"
#include "framework/kpool.h"
#include "framework/kqueue.h"
#include "vault_image.h"

#include <atomic>
#include <memory>

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
    // A request waiting for the worker. An open also carries its sender's
    // identity, released with the entry once the request is answered.
    struct QueueEntry : KPoolAllocated<NonPagedPool> {
        explicit QueueEntry(PIRP irp) : Irp(irp), Link() {}
        PIRP Irp;
        LIST_ENTRY Link;
        ClientSecurity Sender;
    };
    using OwnedEntry = std::unique_ptr<QueueEntry>;

    // Answered at once, with an entry and an exit trace line.
    NTSTATUS AnswerAtOnce(KIrp irp, PCSTR handler, NTSTATUS status);

    // The request engine.
    bool StartWorker();
    void StopWorker();
    static VOID NTAPI WorkerThread(PVOID context);
    void WorkerLoop();
    NTSTATUS QueueTransfer(KIrp irp);
    // An entry for the request, or none when the pool is exhausted, in which
    // case the request has been completed.
    OwnedEntry MakeEntry(KIrp irp);
    NTSTATUS Enqueue(KIrp irp, OwnedEntry entry);
    // Requests the worker never reached, answered when the unit goes.
    void AnswerLeftovers();
    // The request's status; the worker completes it.
    NTSTATUS CarryOut(QueueEntry& entry);
    NTSTATUS CarryOutTransfer(KIrp irp, bool write);

    // The control protocol.
    static bool IsPrivateControl(ULONG code);
    NTSTATUS DispatchPrivateControl(KIrp irp);
    NTSTATUS CarryOutControl(QueueEntry& entry);
    NTSTATUS IOCTL_OPENDISKFILE_Handler(KIrp irp);
    NTSTATUS IOCTL_CLOSEDISKFILE_Handler(KIrp irp);
    NTSTATUS IOCTL_CHANGEPWD_Handler(KIrp irp);

    ULONG m_Unit;
    VaultImage m_Image;
    std::atomic<bool> m_Terminate;
    KWaitableObject m_Worker;  // the worker's thread object, referenced
    KEvent m_WorkEvent;
    KRequestQueue m_Queue;
};
