// Keeps other programs from opening a mounted vault file where the host
// platform's sharing rules cannot reach them: Wine keeps its own inside its
// server. As root, a fanotify permission mark on the file refuses every
// open except by korvel-vault itself, whose opens obey the sharing rules.
#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace vault_tool {

class OpenGuard {
public:
    OpenGuard() = default;
    ~OpenGuard() { Stop(); }
    OpenGuard(const OpenGuard&) = delete;
    OpenGuard& operator=(const OpenGuard&) = delete;

    // False where the kernel offers no permission marks to this process
    // (not root); the mount then stands on the sharing rules alone.
    bool Start(const std::string& file);
    void Stop();

private:
    void Answer();

    int m_Notify = -1;
    int m_Wake[2] = {-1, -1};
    std::string m_OwnProgram;
    std::thread m_Thread;
};

}  // namespace vault_tool
