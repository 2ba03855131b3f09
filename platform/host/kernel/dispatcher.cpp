// Events, spin locks and waits. An event's or a thread's signal state lives
// in its DISPATCHER_HEADER, as on Windows; waiters sleep on it with a futex,
// so an embedded KEVENT needs no other storage and no teardown.
#include "bugcheck.h"
#include "threads.h"

#include <ntddk.h>

#include <linux/futex.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>

namespace host {

namespace {

constexpr UCHAR kSynchronizationEvent = 1;

std::atomic_ref<LONG> SignalOf(DISPATCHER_HEADER& header)
{
    return std::atomic_ref<LONG>(const_cast<LONG&>(header.SignalState));
}

void FutexWake(DISPATCHER_HEADER& header, int waiters)
{
    syscall(SYS_futex, const_cast<LONG*>(&header.SignalState), FUTEX_WAKE_PRIVATE, waiters, nullptr, nullptr, 0);
}

// Sleeps while the object stays unsignalled.
void FutexWait(DISPATCHER_HEADER& header, const timespec* timeout)
{
    syscall(SYS_futex, const_cast<LONG*>(&header.SignalState), FUTEX_WAIT_PRIVATE, 0, timeout, nullptr, 0);
}

// Takes the signal if there is one; a synchronization event is reset by the
// wait it satisfies.
bool TrySatisfy(DISPATCHER_HEADER& header)
{
    auto signal = SignalOf(header);
    if (header.Type != kSynchronizationEvent) {
        return signal.load(std::memory_order_acquire) != 0;
    }
    LONG expected = 1;
    return signal.compare_exchange_strong(expected, 0, std::memory_order_acq_rel);
}

// 100-nanosecond units: negative is relative, positive an absolute system time.
std::chrono::steady_clock::time_point Deadline(const LARGE_INTEGER& timeout)
{
    using namespace std::chrono;
    const auto now = steady_clock::now();
    if (timeout.QuadPart <= 0) {
        return now + duration_cast<steady_clock::duration>(nanoseconds(-timeout.QuadPart * 100));
    }
    // System time counts from 1601; the host's wall clock from 1970.
    constexpr LONGLONG kEpochDifference = 116444736000000000LL;
    const auto wallNow = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    const LONGLONG remaining = (timeout.QuadPart - kEpochDifference) * 100 - wallNow;
    return now + duration_cast<steady_clock::duration>(nanoseconds(remaining > 0 ? remaining : 0));
}

}  // namespace

}  // namespace host

extern "C" {

VOID NTAPI KeInitializeEvent(PRKEVENT Event, EVENT_TYPE Type, BOOLEAN State)
{
    Event->Header.Type = static_cast<UCHAR>(Type);
    host::SignalOf(Event->Header).store(State ? 1 : 0, std::memory_order_release);
}

LONG NTAPI KeSetEvent(PRKEVENT Event, KPRIORITY Increment, BOOLEAN Wait)
{
    (void)Increment;
    (void)Wait;
    host::RequireIrqlAtMost(DISPATCH_LEVEL, "KeSetEvent");
    // Once signalled, the event may be gone (a waiter's stack frame), so
    // nothing but its address is used afterwards.
    const int waiters = Event->Header.Type == host::kSynchronizationEvent ? 1 : INT_MAX;
    const LONG previous = host::SignalOf(Event->Header).exchange(1, std::memory_order_acq_rel);
    host::FutexWake(Event->Header, waiters);
    return previous;
}

LONG NTAPI KeResetEvent(PRKEVENT Event)
{
    host::RequireIrqlAtMost(DISPATCH_LEVEL, "KeResetEvent");
    return host::SignalOf(Event->Header).exchange(0, std::memory_order_acq_rel);
}

VOID NTAPI KeClearEvent(PRKEVENT Event)
{
    host::SignalOf(Event->Header).store(0, std::memory_order_release);
}

LONG NTAPI KeReadStateEvent(PRKEVENT Event)
{
    return host::SignalOf(Event->Header).load(std::memory_order_acquire);
}

NTSTATUS NTAPI KeWaitForSingleObject(PVOID Object, KWAIT_REASON WaitReason, KPROCESSOR_MODE WaitMode,
                                     BOOLEAN Alertable, PLARGE_INTEGER Timeout)
{
    (void)WaitReason;
    (void)WaitMode;
    (void)Alertable;
    // Only a poll (zero timeout) may be made at DISPATCH_LEVEL.
    if (Timeout == nullptr || Timeout->QuadPart != 0) {
        host::RequireIrqlAtMost(APC_LEVEL, "KeWaitForSingleObject");
    } else {
        host::RequireIrqlAtMost(DISPATCH_LEVEL, "KeWaitForSingleObject");
    }
    auto& header = *static_cast<DISPATCHER_HEADER*>(Object);
    const bool bounded = Timeout != nullptr;
    const auto deadline = bounded ? host::Deadline(*Timeout) : std::chrono::steady_clock::time_point{};
    for (;;) {
        if (host::TrySatisfy(header)) {
            return STATUS_SUCCESS;
        }
        if (!bounded) {
            host::FutexWait(header, nullptr);
            continue;
        }
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            return STATUS_TIMEOUT;
        }
        const auto nanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec pause{static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
        host::FutexWait(header, &pause);
    }
}

VOID NTAPI KeInitializeSpinLock(PKSPIN_LOCK SpinLock)
{
    std::atomic_ref<KSPIN_LOCK>(*SpinLock).store(0, std::memory_order_release);
}

KIRQL NTAPI KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock)
{
    const KIRQL previous = host::CurrentIrql();
    host::RequireIrqlAtMost(DISPATCH_LEVEL, "KeAcquireSpinLockRaiseToDpc");
    host::SetCurrentIrql(DISPATCH_LEVEL);
    std::atomic_ref<KSPIN_LOCK> lock(*SpinLock);
    for (unsigned spins = 0;; ++spins) {
        KSPIN_LOCK expected = 0;
        if (lock.compare_exchange_weak(expected, 1, std::memory_order_acquire)) {
            return previous;
        }
        // Two host threads may share one core, unlike two processors.
        if (spins % 64 == 63) {
            sched_yield();
        }
    }
}

VOID NTAPI KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql)
{
    std::atomic_ref<KSPIN_LOCK> lock(*SpinLock);
    if (lock.exchange(0, std::memory_order_release) == 0) {
        host::BugCheck("SPIN_LOCK_NOT_OWNED", "KeReleaseSpinLock");
    }
    host::SetCurrentIrql(NewIrql);
}

}  // extern "C"
