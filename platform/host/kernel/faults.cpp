#include "faults.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace host {

namespace {

constexpr std::size_t kCalls = static_cast<std::size_t>(KernelCall::Count_);

// Lets `skip` matching calls through, then fails the next `failures` of them.
struct Countdown {
    unsigned skip = 0;
    unsigned failures = 0;

    bool Take()
    {
        if (failures == 0) {
            return false;
        }
        if (skip > 0) {
            skip -= 1;
            return false;
        }
        failures -= 1;
        return true;
    }
};

struct Rule {
    Countdown countdown;
    NTSTATUS status = STATUS_SUCCESS;
    unsigned toHold = 0;
    unsigned held = 0;
    unsigned generation = 0;  // bumped by a release, so held calls know to go
};

struct Faults {
    std::mutex lock;
    std::condition_variable changed;
    std::array<Rule, kCalls> rules;
    // Set while any rule is in force, so that calls need not take the lock.
    std::atomic<bool> armed{false};
    Countdown pool;
    ULONG poolTag = 0;
    Countdown shortWrites;
    ULONG shortWriteBytes = 0;
    std::atomic<bool> refuseUnbuffered{false};
};

Faults& State()
{
    // Never destroyed: drivers and static objects may use it until the process ends.
    static Faults* faults = new Faults;
    return *faults;
}

Rule& RuleFor(KernelCall call)
{
    return State().rules[static_cast<std::size_t>(call)];
}

}  // namespace

void FailKernelCalls(KernelCall call, NTSTATUS status, unsigned skip, unsigned count)
{
    std::lock_guard guard(State().lock);
    Rule& rule = RuleFor(call);
    rule.countdown = Countdown{skip, count};
    rule.status = status;
    State().armed = true;
}

void HoldKernelCalls(KernelCall call, unsigned count)
{
    std::lock_guard guard(State().lock);
    RuleFor(call).toHold = count;
    State().armed = true;
}

bool WaitForHeldCalls(KernelCall call, unsigned count, unsigned timeoutMs)
{
    std::unique_lock guard(State().lock);
    return State().changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                                    [&] { return RuleFor(call).held >= count; });
}

void ReleaseHeldCalls(KernelCall call)
{
    std::lock_guard guard(State().lock);
    Rule& rule = RuleFor(call);
    rule.toHold = 0;
    rule.generation += 1;
    State().changed.notify_all();
}

void FailPoolAllocations(ULONG tag, unsigned skip, unsigned count)
{
    std::lock_guard guard(State().lock);
    State().pool = Countdown{skip, count};
    State().poolTag = tag;
    State().armed = true;
}

bool TakePoolFault(ULONG tag)
{
    if (!State().armed.load(std::memory_order_acquire)) {
        return false;
    }
    std::lock_guard guard(State().lock);
    Faults& state = State();
    if (state.poolTag != 0 && state.poolTag != tag) {
        return false;
    }
    return state.pool.Take();
}

void ShortenKernelWrites(ULONG bytes, unsigned count)
{
    std::lock_guard guard(State().lock);
    State().shortWrites = Countdown{0, count};
    State().shortWriteBytes = bytes;
    State().armed = true;
}

bool TakeShortWrite(ULONG& length)
{
    if (!State().armed.load(std::memory_order_acquire)) {
        return false;
    }
    std::lock_guard guard(State().lock);
    if (!State().shortWrites.Take()) {
        return false;
    }
    if (State().shortWriteBytes < length) {
        length = State().shortWriteBytes;
    }
    return true;
}

void RefuseUnbufferedIo(bool refuse)
{
    State().refuseUnbuffered = refuse;
}

void ResetFaults()
{
    std::lock_guard guard(State().lock);
    for (Rule& rule : State().rules) {
        rule.countdown = Countdown{};
        rule.toHold = 0;
        rule.generation += 1;
    }
    State().pool = Countdown{};
    State().poolTag = 0;
    State().shortWrites = Countdown{};
    State().shortWriteBytes = 0;
    State().armed = false;
    State().refuseUnbuffered = false;
    State().changed.notify_all();
    ClearHiddenRoutines();
}

bool TakeFault(KernelCall call, NTSTATUS& status)
{
    if (!State().armed.load(std::memory_order_acquire)) {
        return false;
    }
    std::unique_lock guard(State().lock);
    Rule& rule = RuleFor(call);
    if (rule.toHold > 0) {
        rule.toHold -= 1;
        rule.held += 1;
        const unsigned generation = rule.generation;
        State().changed.notify_all();
        State().changed.wait(guard, [&] { return rule.generation != generation; });
        rule.held -= 1;
    }
    if (!rule.countdown.Take()) {
        return false;
    }
    status = rule.status;
    return true;
}

bool TakeFault(KernelCall call)
{
    NTSTATUS ignored = STATUS_SUCCESS;
    return TakeFault(call, ignored);
}

bool UnbufferedIoRefused()
{
    return State().refuseUnbuffered;
}

}  // namespace host
