#include <host/ntfs_volume.h>
#include <host/system_programs.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

extern char** environ;

namespace host {

namespace {

constexpr std::size_t kChunk = 1 << 20;

// A scratch file removed with its descriptor.
class ScratchFile {
public:
    ScratchFile()
    {
        const char* folder = std::getenv("TMPDIR");
        m_Path = std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") + "/korvel-ntfs-XXXXXX";
        m_Fd = mkstemp(m_Path.data());
    }
    ~ScratchFile()
    {
        if (m_Fd >= 0) {
            close(m_Fd);
            unlink(m_Path.c_str());
        }
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    int Fd() const { return m_Fd; }
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    int m_Fd = -1;
};

struct FreeAligned {
    void operator()(void* block) const { std::free(block); }
};

int RunMkntfs(const std::string& program, const std::string& label, const std::string& target)
{
    // The geometry is the one the vault's disk reports to Windows.
    std::vector<std::string> arguments = {program,  "--quick",          "--force",   "--quiet", "--label", label,
                                          "--sector-size", "512",  "--partition-start", "0", "--heads", "255",
                                          "--sectors-per-track", "63", target};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    // mkntfs remarks that a file is not a block device even when quiet;
    // its exit status says what matters.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

std::string MakeNtfsVolume(unsigned long long bytes, const std::string& label,
                           const std::function<bool(unsigned long long offset, const void* data, std::size_t length)>& write,
                           const std::function<void(int)>& progress)
{
    const std::string mkntfs = FindSystemProgram("mkntfs");
    if (mkntfs.empty()) {
        return "找不到 mkntfs，请先安装：apt-get install ntfs-3g";
    }
    ScratchFile scratch;
    if (scratch.Fd() < 0 || ftruncate(scratch.Fd(), static_cast<off_t>(bytes)) != 0) {
        return std::string("无法建立临时文件：") + std::strerror(errno);
    }
    if (const int exitCode = RunMkntfs(mkntfs, label, scratch.Path()); exitCode != 0) {
        return "mkntfs 格式化失败（退出码 " + std::to_string(exitCode) + "）";
    }
    // Only what mkntfs wrote is handed on; the rest of the volume stays as
    // it is, which for a new vault is a hole.
    std::unique_ptr<unsigned char, FreeAligned> buffer(static_cast<unsigned char*>(std::aligned_alloc(4096, kChunk)));
    off_t at = 0;
    const off_t end = static_cast<off_t>(bytes);
    while (at < end) {
        const off_t data = lseek(scratch.Fd(), at, SEEK_DATA);
        if (data < 0) {
            break;  // no more data
        }
        const off_t hole = lseek(scratch.Fd(), data, SEEK_HOLE);
        for (off_t piece = data; piece < hole;) {
            const std::size_t length = static_cast<std::size_t>(std::min<off_t>(hole - piece, kChunk));
            const ssize_t got = pread(scratch.Fd(), buffer.get(), length, piece);
            if (got <= 0) {
                return "无法读取 mkntfs 的结果";
            }
            // Whole sectors: a volume takes nothing else.
            const std::size_t sectors = (static_cast<std::size_t>(got) + 511) / 512 * 512;
            std::memset(buffer.get() + got, 0, sectors - static_cast<std::size_t>(got));
            if (!write(static_cast<unsigned long long>(piece), buffer.get(), sectors)) {
                return "写入失败";
            }
            piece += got;
            progress(static_cast<int>(static_cast<unsigned long long>(piece) * 100 / bytes));
        }
        at = hole;
    }
    progress(100);
    return {};
}

}  // namespace host
