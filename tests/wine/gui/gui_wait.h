// Polling with a time limit: windows of another process come and go on
// their own schedule, so every wait in the harness asks again and again
// until the answer is there or the time is up.
#pragma once

#include <windows.h>

namespace gui {

// Long enough for a program's first window under Wine, short enough that a
// hung test still ends well within the run script's limit.
constexpr DWORD kDefaultTimeoutMs = 10000;
constexpr DWORD kPollIntervalMs = 20;

// Calls `probe` until it returns something that converts to true, or until
// `timeoutMs` have passed; returns the last answer either way.
template <typename Probe>
auto WaitFor(Probe probe, DWORD timeoutMs = kDefaultTimeoutMs) -> decltype(probe())
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        auto answer = probe();
        if (answer || GetTickCount64() >= deadline) {
            return answer;
        }
        Sleep(kPollIntervalMs);
    }
}

}  // namespace gui
