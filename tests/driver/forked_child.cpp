#include "forked_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace korvel::test {

int ThreadsOfThisProcess()
{
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error)) {
        ++count;
    }
    return count;
}

ForkedChild::ForkedChild(const Body& body)
{
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    // Whatever the test has buffered for its output would otherwise be
    // printed a second time by the child.
    std::fflush(nullptr);
    m_Pid = fork();
    if (m_Pid == 0) {
        close(fds[0]);
        body(fds[1]);
        _exit(125);
    }
    close(fds[1]);
    if (m_Pid < 0) {
        close(fds[0]);
        return;
    }
    m_ReadFd = fds[0];
}

ForkedChild::~ForkedChild()
{
    if (m_Pid > 0 && !m_Reaped) {
        Kill();
        Reap();
    }
    if (m_ReadFd >= 0) {
        close(m_ReadFd);
    }
}

bool ForkedChild::TakeBuffered(Message& message)
{
    if (m_Pending.size() < sizeof message) {
        return false;
    }
    std::memcpy(&message, m_Pending.data(), sizeof message);
    m_Pending.erase(m_Pending.begin(), m_Pending.begin() + sizeof message);
    return true;
}

ForkedChild::Received ForkedChild::Next(Message& message, std::chrono::steady_clock::time_point deadline)
{
    while (!TakeBuffered(message)) {
        if (m_ReadFd < 0) {
            return Received::Ended;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                std::chrono::steady_clock::now());
        pollfd ready{m_ReadFd, POLLIN, 0};
        const int polled = poll(&ready, 1, left.count() > 0 ? int(left.count()) : 0);
        if (polled < 0 && errno == EINTR) {
            continue;
        }
        if (polled == 0) {
            return Received::TimedOut;
        }
        std::uint8_t chunk[4096];
        const ssize_t got = read(m_ReadFd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return Received::Ended;
        }
        m_Pending.insert(m_Pending.end(), chunk, chunk + got);
    }
    return Received::Message;
}

void ForkedChild::Kill()
{
    if (m_Pid > 0 && !m_Reaped) {
        kill(m_Pid, SIGKILL);
    }
}

int ForkedChild::Reap()
{
    int status = 0;
    while (waitpid(m_Pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_Reaped = true;
    return status;
}

std::vector<Message> ForkedChild::Rest()
{
    // The child is gone, so its end of the pipe is closed: the stream ends
    // right after its last message.
    std::vector<Message> rest;
    Message message;
    while (Next(message, std::chrono::steady_clock::now() + std::chrono::seconds(5)) == Received::Message) {
        rest.push_back(message);
    }
    return rest;
}

void Tell(int reportFd, const Message& message)
{
    // Smaller than PIPE_BUF, so each message arrives whole or not at all.
    static_assert(sizeof(Message) <= PIPE_BUF);
    for (;;) {
        const ssize_t put = write(reportFd, &message, sizeof message);
        if (put == ssize_t(sizeof message)) {
            return;
        }
        if (put >= 0 || errno != EINTR) {
            _exit(124);
        }
    }
}

}  // namespace korvel::test
