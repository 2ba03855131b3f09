// Sleep, with a test clock that only records what was asked.
#include <host/win32_hooks.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace host {

namespace {

struct Clock {
    std::atomic<bool> testing{false};
    std::mutex lock;
    std::vector<DWORD> sleeps;
};

Clock& TheClock()
{
    // Never destroyed: a sleeper may come late in the process's life.
    static Clock* clock = new Clock;
    return *clock;
}

}  // namespace

void UseTestClock(bool on)
{
    std::lock_guard guard(TheClock().lock);
    TheClock().testing = on;
    TheClock().sleeps.clear();
}

std::vector<DWORD> SleptMilliseconds()
{
    std::lock_guard guard(TheClock().lock);
    return TheClock().sleeps;
}

}  // namespace host

extern "C" void WINAPI Sleep(DWORD dwMilliseconds)
{
    auto& clock = host::TheClock();
    if (clock.testing) {
        std::lock_guard guard(clock.lock);
        clock.sleeps.push_back(dwMilliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
