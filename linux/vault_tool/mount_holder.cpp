#include "mount_holder.h"

#include "byte_window.h"
#include "commands.h"
#include "data_file_server.h"
#include "host_vault.h"
#include "mount_table.h"
#include "open_guard.h"
#include "programs.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

namespace vault_tool {

namespace {

// How long ntfs-3g may take to mount before the holder gives up on it.
constexpr auto kMountPatience = std::chrono::seconds(60);

// The holder's one report to the waiting command: its exit status as a
// digit, then the message to print.
void Report(int fd, int status, const std::string& message)
{
    const std::string text = std::to_string(status) + message;
    ssize_t ignored = write(fd, text.data(), text.size());
    (void)ignored;
    close(fd);
}

// ntfs-3g names what went wrong first, then adds advice and links.
std::string FirstLine(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty()) {
            return line;
        }
    }
    return "（没有说明原因）";
}

// Waits up to `timeout` for one of the blocked signals in `set`; 0 when
// none came.
int WaitSignal(const sigset_t& set, std::chrono::milliseconds timeout)
{
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    wait.tv_nsec = static_cast<long>(timeout.count() % 1000) * 1000000L;
    const int signal = sigtimedwait(&set, nullptr, &wait);
    return signal > 0 ? signal : 0;
}

bool Reaped(pid_t child)
{
    int status = 0;
    return waitpid(child, &status, WNOHANG) == child;
}

// The data area as ntfs-3g will open it: a loop device, or the FUSE file.
class DataSource {
public:
    DataSource(const MountPlan& plan, VaultImage& image) : m_Plan(plan), m_Window(image), m_Server(m_Window) {}
    ~DataSource()
    {
        m_Server.Stop();
        if (!m_LoopDevice.empty()) {
            RunProgram({m_Plan.losetup, "-d", m_LoopDevice});
        }
    }
    DataSource(const DataSource&) = delete;
    DataSource& operator=(const DataSource&) = delete;

    // The path for ntfs-3g, or an empty text with `problem` set.
    std::string Open(const std::string& work, std::string& problem)
    {
        if (m_Plan.viaLoop) {
            const ProgramOutcome loop =
                RunProgram({m_Plan.losetup, "--find", "--show", "--offset", std::to_string(VaultImage::DataOffset),
                            "--sizelimit", std::to_string(m_Window.Size()), m_Plan.vault});
            // Its first line: the device, or what went wrong.
            std::string device = loop.output.substr(0, loop.output.find('\n'));
            if (loop.exitCode != 0 || device.rfind("/dev/", 0) != 0) {
                problem = "无法建立回环设备：" + device;
                return {};
            }
            m_LoopDevice = device;
            return device;
        }
        const std::string served = work + "/fuse";
        if (mkdir(served.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = "无法建立文件夹：" + served;
            return {};
        }
        problem = m_Server.Start(served);
        return problem.empty() ? served + "/" + DataFileServer::kFileName : std::string();
    }

private:
    const MountPlan& m_Plan;
    ByteWindow m_Window;
    DataFileServer m_Server;
    std::string m_LoopDevice;
};

struct Failure {
    int status;
    std::string message;
};

// The vault opened, its data handed to ntfs-3g, the mount reported, and
// served until the NTFS is gone again. What stopped it before the mount
// stood, after everything it set up is undone.
std::optional<Failure> HoldOpen(const MountPlan& plan, std::string& password, int reportFd, const std::string& work)
{
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) {
        sigaddset(&signals, signal);
    }
    // Blocked before any thread starts, so that they all come to the wait
    // below and none ends the process halfway.
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    HostVault vault(plan.vault);
    const NTSTATUS opened = vault.Open(password, 0);
    std::fill(password.begin(), password.end(), '\0');
    if (!NT_SUCCESS(opened)) {
        if (vault.InUse()) {
            return Failure{kError, "保险柜文件正被使用（已挂载，或被其他程序打开）：" + plan.vault};
        }
        return Failure{kRefused, "密码不正确"};
    }
    DataSource source(plan, vault.Image());
    OpenGuard guard;
    std::string problem;
    const std::string device = source.Open(work, problem);
    if (device.empty()) {
        return Failure{kError, problem};
    }
    // Set only now: losetup opens the vault file itself. ntfs-3g opens the
    // loop device or the FUSE file, never the vault file.
    guard.Start(plan.vault);
    const std::string log = work + "/ntfs-3g.log";
    const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t ntfs = StartProgram({plan.ntfs3g, "-o", "no_detach", device, plan.folder}, logFd);
    close(logFd);
    if (ntfs < 0) {
        return Failure{kError, "ntfs-3g 无法启动"};
    }
    const auto deadline = std::chrono::steady_clock::now() + kMountPatience;
    while (!IsMountPoint(plan.folder)) {
        const int signal = WaitSignal(signals, std::chrono::milliseconds(50));
        const bool ended = Reaped(ntfs);
        if (ended || signal == SIGTERM || signal == SIGINT || signal == SIGHUP ||
            std::chrono::steady_clock::now() > deadline) {
            if (!ended) {
                kill(ntfs, SIGTERM);
                waitpid(ntfs, nullptr, 0);
            }
            return Failure{kError, "ntfs-3g 无法挂载：" + FirstLine(log)};
        }
    }
    if (!SaveRecord(plan.folder, MountRecord{getpid(), plan.vault})) {
        RunProgram(UnmountCommand(plan.unmounter, plan.folder));
        waitpid(ntfs, nullptr, 0);
        return Failure{kError, "无法记录挂载"};
    }
    Report(reportFd, kDone, "已挂载：" + plan.vault + " → " + plan.folder);

    // Served until the NTFS is unmounted, by `unmount` or by anyone; a
    // request to stop unmounts it first, and waits while it is busy.
    for (;;) {
        const int signal = WaitSignal(signals, std::chrono::milliseconds(1000));
        if (Reaped(ntfs)) {
            break;
        }
        if (signal == SIGTERM || signal == SIGINT || signal == SIGHUP) {
            RunProgram(UnmountCommand(plan.unmounter, plan.folder));
        }
    }
    return std::nullopt;
}

// The holder's whole life.
void Hold(const MountPlan& plan, std::string& password, int reportFd)
{
    const std::string work = MountWorkFolder(plan.folder);
    if (work.empty()) {
        std::fill(password.begin(), password.end(), '\0');
        Report(reportFd, kError, "无法建立工作文件夹");
        return;
    }
    const std::optional<Failure> failure = HoldOpen(plan, password, reportFd, work);
    // Only now is the vault file free again: `unmount` waits for this, and a
    // refused mount is reported only once nothing of it is left.
    RemoveRecord(plan.folder);
    if (failure) {
        Report(reportFd, failure->status, failure->message);
    }
}

}  // namespace

std::vector<std::string> UnmountCommand(const std::string& unmounter, const std::string& folder)
{
    if (unmounter.find("fusermount") != std::string::npos) {
        return {unmounter, "-u", folder};
    }
    return {unmounter, folder};
}

int MountInBackground(const MountPlan& plan, std::string& password)
{
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        std::fill(password.begin(), password.end(), '\0');
        std::fputs("korvel-vault: 无法建立进程间管道\n", stderr);
        return kError;
    }
    std::fflush(nullptr);
    const pid_t holder = fork();
    if (holder < 0) {
        std::fill(password.begin(), password.end(), '\0');
        std::fputs("korvel-vault: 无法启动后台进程\n", stderr);
        return kError;
    }
    if (holder == 0) {
        close(report[0]);
        // Detached from the terminal and from whoever waits for the
        // command's output, which would otherwise never see its end.
        setsid();
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        close(null);
        Hold(plan, password, report[1]);
        _exit(0);
    }
    std::fill(password.begin(), password.end(), '\0');
    close(report[1]);
    std::string answer;
    char buffer[1024];
    ssize_t got = 0;
    while ((got = read(report[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(report[0]);
    if (answer.empty() || answer[0] < '0' || answer[0] > '2') {
        std::fputs("korvel-vault: 后台进程意外结束，没有挂载\n", stderr);
        return kError;
    }
    const int status = answer[0] - '0';
    std::fprintf(status == kDone ? stdout : stderr, "%s%s\n", status == kDone ? "" : "korvel-vault: ",
                 answer.substr(1).c_str());
    return status;
}

}  // namespace vault_tool
