// A child process forked from the test, that reports what it does through a
// pipe, one fixed-size message at a time, and that the test may kill at any
// moment. fork() copies only the calling thread, so the test forks only while
// it has no other thread (see ThreadsOfThisProcess).
#pragma once

#include "power_cut_round.h"

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <vector>

namespace korvel::test {

// Threads of this process, as the kernel lists them.
int ThreadsOfThisProcess();

class ForkedChild {
public:
    // Runs in the child with the pipe's writing end; it must end with _exit()
    // and never return into the test framework.
    using Body = std::function<void(int reportFd)>;

    explicit ForkedChild(const Body& body);
    // Kills and reaps a child still there.
    ~ForkedChild();
    ForkedChild(const ForkedChild&) = delete;
    ForkedChild& operator=(const ForkedChild&) = delete;

    bool Started() const { return m_Pid > 0; }

    enum class Received { Message, Ended, TimedOut };
    Received Next(Message& message, std::chrono::steady_clock::time_point deadline);

    void Kill();
    // Waits for the child to end; its wait status.
    int Reap();
    // Once reaped: every message it sent that has not been taken yet.
    std::vector<Message> Rest();

private:
    bool TakeBuffered(Message& message);

    pid_t m_Pid = -1;
    int m_ReadFd = -1;
    bool m_Reaped = false;
    std::vector<std::uint8_t> m_Pending;
};

// Sends one message from inside a child; a child whose parent stopped
// listening has nothing left to do and ends.
void Tell(int reportFd, const Message& message);

}  // namespace korvel::test
