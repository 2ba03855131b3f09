#include "faults.h"

#include <array>
#include <atomic>
#include <mutex>

namespace host {

namespace {

struct Countdown {
    unsigned skip = 0;
    unsigned count = 0;

    bool Take()
    {
        if (count == 0) {
            return false;
        }
        if (skip > 0) {
            --skip;
            return false;
        }
        --count;
        return true;
    }
};

struct FileFault {
    Countdown countdown;
    NTSTATUS status = STATUS_SUCCESS;
};

struct Faults {
    std::mutex lock;
    std::array<FileFault, 5> file;
    Countdown pool;
    ULONG poolTag = 0;
    std::atomic<bool> refuseUnbuffered{false};
};

Faults& State()
{
    static Faults faults;
    return faults;
}

}  // namespace

void FailFileCalls(FileCall call, NTSTATUS status, unsigned skip, unsigned count)
{
    std::lock_guard guard(State().lock);
    auto& fault = State().file[static_cast<std::size_t>(call)];
    fault.countdown = {skip, count};
    fault.status = status;
}

void RefuseUnbufferedIo(bool refuse)
{
    State().refuseUnbuffered = refuse;
}

void FailPoolAllocations(ULONG tag, unsigned skip, unsigned count)
{
    std::lock_guard guard(State().lock);
    State().pool = {skip, count};
    State().poolTag = tag;
}

void ResetFaults()
{
    std::lock_guard guard(State().lock);
    State().file = {};
    State().pool = {};
    State().poolTag = 0;
    State().refuseUnbuffered = false;
}

bool TakeFileFault(FileCall call, NTSTATUS& status)
{
    std::lock_guard guard(State().lock);
    auto& fault = State().file[static_cast<std::size_t>(call)];
    if (!fault.countdown.Take()) {
        return false;
    }
    status = fault.status;
    return true;
}

bool TakePoolFault(ULONG tag)
{
    std::lock_guard guard(State().lock);
    if (State().poolTag != 0 && State().poolTag != tag) {
        return false;
    }
    return State().pool.Take();
}

bool UnbufferedIoRefused()
{
    return State().refuseUnbuffered;
}

}  // namespace host
