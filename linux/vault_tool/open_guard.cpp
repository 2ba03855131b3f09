#include "open_guard.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace vault_tool {

namespace {

std::string ProgramOf(const std::string& process)
{
    char path[PATH_MAX];
    const ssize_t length = readlink(("/proc/" + process + "/exe").c_str(), path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace

bool OpenGuard::Start(const std::string& file)
{
    m_Notify = fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_LARGEFILE);
    if (m_Notify < 0) {
        return false;
    }
    if (fanotify_mark(m_Notify, FAN_MARK_ADD, FAN_OPEN_PERM, AT_FDCWD, file.c_str()) != 0 ||
        pipe2(m_Wake, O_CLOEXEC) != 0) {
        Stop();
        return false;
    }
    m_OwnProgram = ProgramOf("self");
    m_Thread = std::thread([this] { Answer(); });
    return true;
}

void OpenGuard::Answer()
{
    alignas(fanotify_event_metadata) char buffer[4096];
    for (;;) {
        pollfd waits[2] = {{m_Notify, POLLIN, 0}, {m_Wake[0], POLLIN, 0}};
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (waits[1].revents != 0) {
            return;
        }
        const ssize_t length = read(m_Notify, buffer, sizeof buffer);
        if (length <= 0) {
            if (length < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
        ssize_t left = length;
        while (FAN_EVENT_OK(event, left)) {
            if ((event->mask & FAN_OPEN_PERM) != 0) {
                // Another korvel-vault obeys the sharing rules and names the
                // file as in use; everybody else is refused outright.
                const bool ours = !m_OwnProgram.empty() && ProgramOf(std::to_string(event->pid)) == m_OwnProgram;
                fanotify_response response{};
                response.fd = event->fd;
                response.response = ours ? FAN_ALLOW : FAN_DENY;
                ssize_t ignored = write(m_Notify, &response, sizeof response);
                (void)ignored;
            }
            if (event->fd >= 0) {
                close(event->fd);
            }
            event = FAN_EVENT_NEXT(event, left);
        }
    }
}

void OpenGuard::Stop()
{
    if (m_Thread.joinable()) {
        ssize_t ignored = write(m_Wake[1], "x", 1);
        (void)ignored;
        m_Thread.join();
    }
    for (int* fd : {&m_Notify, &m_Wake[0], &m_Wake[1]}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

}  // namespace vault_tool
