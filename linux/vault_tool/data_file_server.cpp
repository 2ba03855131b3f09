#define FUSE_USE_VERSION 31
#include "data_file_server.h"

#include <fuse.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace vault_tool {

namespace {

constexpr const char* kFilePath = "/data";

ByteWindow& WindowOf()
{
    return static_cast<DataFileServer*>(fuse_get_context()->private_data)->Window();
}

int GetAttributes(const char* path, struct stat* attributes, fuse_file_info*)
{
    std::memset(attributes, 0, sizeof *attributes);
    attributes->st_uid = getuid();
    attributes->st_gid = getgid();
    if (std::strcmp(path, "/") == 0) {
        attributes->st_mode = S_IFDIR | 0700;
        attributes->st_nlink = 2;
        return 0;
    }
    if (std::strcmp(path, kFilePath) == 0) {
        attributes->st_mode = S_IFREG | 0600;
        attributes->st_nlink = 1;
        attributes->st_size = static_cast<off_t>(WindowOf().Size());
        attributes->st_blksize = 4096;
        attributes->st_blocks = attributes->st_size / 512;
        return 0;
    }
    return -ENOENT;
}

int ReadFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    if (std::strcmp(path, "/") != 0) {
        return -ENOTDIR;
    }
    fill(buffer, ".", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, "..", nullptr, 0, fuse_fill_dir_flags{});
    fill(buffer, DataFileServer::kFileName, nullptr, 0, fuse_fill_dir_flags{});
    return 0;
}

int Open(const char* path, fuse_file_info* file)
{
    if (std::strcmp(path, kFilePath) != 0) {
        return -ENOENT;
    }
    if ((file->flags & O_TRUNC) != 0) {
        return -EPERM;
    }
    // No page cache of our own: ntfs-3g caches, and every write reaches the
    // vault file when it returns.
    file->direct_io = 1;
    return 0;
}

int Read(const char*, char* buffer, size_t length, off_t offset, fuse_file_info*)
{
    if (offset < 0) {
        return -EINVAL;
    }
    return static_cast<int>(WindowOf().Read(static_cast<unsigned long long>(offset), length, buffer));
}

int Write(const char*, const char* buffer, size_t length, off_t offset, fuse_file_info*)
{
    if (offset < 0) {
        return -EINVAL;
    }
    return static_cast<int>(WindowOf().Write(static_cast<unsigned long long>(offset), length, buffer));
}

// The data area has the size its vault was made with.
int Truncate(const char*, off_t size, fuse_file_info*)
{
    return static_cast<unsigned long long>(size) == WindowOf().Size() ? 0 : -EPERM;
}

// Writes are unbuffered: once answered, they are in the vault file.
int Sync(const char*, int, fuse_file_info*)
{
    return 0;
}

void WakeOnly(int) {}

fuse_operations Operations()
{
    fuse_operations operations{};
    operations.getattr = GetAttributes;
    operations.readdir = ReadFolder;
    operations.open = Open;
    operations.read = Read;
    operations.write = Write;
    operations.truncate = Truncate;
    operations.fsync = Sync;
    return operations;
}

}  // namespace

std::string DataFileServer::Start(const std::string& folder)
{
    // Stop() wakes the serving thread from its wait for the kernel with
    // this signal; the handler does nothing, the interrupted read does it.
    struct sigaction wake {};
    wake.sa_handler = WakeOnly;
    sigemptyset(&wake.sa_mask);
    sigaction(SIGUSR1, &wake, nullptr);

    // ntfs-3g runs setuid root, and FUSE serves only the user who mounted
    // unless told otherwise.
    const char* options = geteuid() == 0 ? "fsname=korvel-vault,subtype=korvel-vault"
                                         : "fsname=korvel-vault,subtype=korvel-vault,allow_root";
    const char* arguments[] = {"korvel-vault", "-o", options};
    fuse_args args = FUSE_ARGS_INIT(3, const_cast<char**>(arguments));
    const fuse_operations operations = Operations();
    m_Fuse = fuse_new(&args, &operations, sizeof operations, this);
    if (m_Fuse == nullptr) {
        return "FUSE 不接受挂载参数";
    }
    if (fuse_mount(m_Fuse, folder.c_str()) != 0) {
        fuse_destroy(m_Fuse);
        m_Fuse = nullptr;
        return "FUSE 无法挂载 " + folder;
    }
    m_Mounted = true;
    m_LoopEnded.store(false);
    m_Loop = std::thread([this] {
        fuse_loop(m_Fuse);
        m_LoopEnded.store(true);
    });
    return {};
}

void DataFileServer::Stop()
{
    if (m_Fuse == nullptr) {
        return;
    }
    fuse_exit(m_Fuse);
    if (m_Loop.joinable()) {
        // The loop may sit in a read from the kernel that began before the
        // exit was asked for; each signal interrupts it until it sees that.
        while (!m_LoopEnded.load()) {
            pthread_kill(m_Loop.native_handle(), SIGUSR1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_Loop.join();
    }
    if (m_Mounted) {
        fuse_unmount(m_Fuse);
        m_Mounted = false;
    }
    fuse_destroy(m_Fuse);
    m_Fuse = nullptr;
}

}  // namespace vault_tool
