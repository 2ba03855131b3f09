#include "commands.h"

#include "host_vault.h"
#include "mount_holder.h"
#include "mount_table.h"
#include "ntfs_format.h"
#include "programs.h"
#include "prompt.h"
#include "vault_ops/new_password_rules.h"

#include <host/ntfs_volume.h>
#include <host/system_programs.h>
#include <host/utf16.h>

#include <sys/statvfs.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace vault_tool {

namespace {

int Fail(int status, const std::string& message)
{
    std::fprintf(stderr, "korvel-vault: %s\n", message.c_str());
    return status;
}

std::string Utf8(const char16_t* text)
{
    return host::Utf16ToUtf8(text).value_or("");
}

// What is wrong with the file as a vault: empty when its head is well formed.
std::string HeadProblem(const std::string& file, unsigned long long length)
{
    if (length < VaultImage::DataOffset) {
        return "文件太短，不足 " + std::to_string(VaultImage::DataOffset) + " 字节";
    }
    std::vector<unsigned char> head(VaultImage::DataOffset);
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()))) {
        return "无法读取文件头";
    }
    const std::size_t fieldEnd = VaultImage::HeaderOffset + VaultImage::PasswordFieldBytes;
    for (std::size_t i = 0; i < head.size(); ++i) {
        const bool inField = i >= VaultImage::HeaderOffset && i < fieldEnd;
        if (!inField && head[i] != 0) {
            return "第 " + std::to_string(i) + " 字节应为 0";
        }
    }
    VaultImage::PasswordField field;
    std::memcpy(field, head.data() + VaultImage::HeaderOffset, sizeof field);
    VaultImage::DecodePassword(field);
    const bool terminated = VaultImage::HoldsTerminatedText(field);
    std::memset(field, 0, sizeof field);
    return terminated ? std::string() : "密码区解不出以 NUL 结尾的文本";
}

// The file as an existing vault: 0 when it is one, else the exit status
// after its message.
int RequireVault(const std::string& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return Fail(kError, "找不到保险柜文件：" + file);
    }
    const std::string problem = HeadProblem(file, std::filesystem::file_size(file, error));
    return problem.empty() ? kDone : Fail(kError, "不是保险柜文件：" + file + "（" + problem + "）");
}

std::optional<std::string> NewPassword()
{
    const auto first = AskSecret("新密码：");
    const auto second = first ? AskSecret("再输入一次新密码：") : std::nullopt;
    if (!second) {
        return std::nullopt;
    }
    if (const char16_t* problem = tessaly::NewPasswordProblem(host::Utf8ToUtf16(*first), host::Utf8ToUtf16(*second))) {
        Fail(kRefused, Utf8(problem));
        return std::nullopt;
    }
    return first;
}

std::string InUseMessage(const std::string& file)
{
    return "保险柜文件正被使用（已挂载，或被其他程序打开）：" + file;
}

// What stands in the way of mounting at `folder`; empty when nothing does.
std::string FolderProblem(const std::string& folder)
{
    std::error_code error;
    if (!std::filesystem::exists(folder, error)) {
        return "找不到文件夹：" + folder;
    }
    if (!std::filesystem::is_directory(folder, error)) {
        return "不是文件夹：" + folder;
    }
    const std::string resolved = std::filesystem::canonical(folder, error).string();
    if (IsMountPoint(resolved)) {
        return "文件夹上已经挂载了别的文件系统：" + folder;
    }
    if (!std::filesystem::is_empty(folder, error) || error) {
        return "文件夹不是空的：" + folder;
    }
    return {};
}

// Whether /etc/fuse.conf lets a normal user open a FUSE mount to others.
bool FuseAllowsOthers()
{
    std::ifstream config("/etc/fuse.conf");
    std::string line;
    while (std::getline(config, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, 16, "user_allow_other") == 0) {
            return true;
        }
    }
    return false;
}

// The program that unmounts what this user mounted: umount for root,
// fusermount3 for a normal user. Empty when it is found, else what is missing.
std::string FindUnmounter(std::string& unmounter)
{
    const bool root = geteuid() == 0;
    unmounter = host::FindSystemProgram(root ? "umount" : "fusermount3");
    if (!unmounter.empty()) {
        return {};
    }
    return root ? "找不到 umount，请先安装：apt-get install mount" : "找不到 fusermount3，请先安装 FUSE：apt-get install fuse3";
}

// How the data area will reach ntfs-3g here, or what is missing.
std::string PlanMount(bool viaFuse, MountPlan& plan)
{
    plan.ntfs3g = host::FindSystemProgram("ntfs-3g");
    if (plan.ntfs3g.empty()) {
        return "找不到 ntfs-3g，请先安装：apt-get install ntfs-3g";
    }
    const bool root = geteuid() == 0;
    plan.losetup = host::FindSystemProgram("losetup");
    plan.viaLoop = root && !viaFuse && !plan.losetup.empty() && access("/dev/loop-control", R_OK | W_OK) == 0;
    if (plan.viaLoop) {
        return FindUnmounter(plan.unmounter);
    }
    if (access("/dev/fuse", F_OK) != 0) {
        return "无法使用 FUSE：没有 /dev/fuse（请安装 fuse3：apt-get install fuse3，并加载 fuse 内核模块）";
    }
    // The FUSE library opens /dev/fuse itself before it leaves the mount to
    // the setuid fusermount3.
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
        return "无法使用 FUSE：没有使用 /dev/fuse 的权限（请让管理员开放 /dev/fuse，或以 root 身份挂载）";
    }
    if (!root && !FuseAllowsOthers()) {
        return "无法使用 FUSE：ntfs-3g 以 root 身份读取数据，普通用户挂载需要在 /etc/fuse.conf 中启用 user_allow_other";
    }
    return FindUnmounter(plan.unmounter);
}

// Waits until the holder of a mount has let go of its vault file.
bool AwaitRelease(const std::string& folder, pid_t holder)
{
    for (int tick = 0; tick < 1200; ++tick) {
        if (!LoadRecord(folder) || !ProcessRuns(holder)) {
            return true;
        }
        usleep(50 * 1000);
    }
    return false;
}

void ShowProgress(int percent)
{
    if (isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "\r正在创建保险柜： %d%%", percent);
        std::fflush(stderr);
    }
}

}  // namespace

unsigned long long SizeFromText(const std::string& text)
{
    std::size_t used = 0;
    double number = 0;
    try {
        number = std::stod(text, &used);
    } catch (...) {
        return 0;
    }
    const std::string unit = text.substr(used);
    double scale = 0;
    if (unit == "K" || unit == "k") {
        scale = 1024.0;
    } else if (unit == "M" || unit == "m") {
        scale = 1024.0 * 1024;
    } else if (unit == "G" || unit == "g") {
        scale = 1024.0 * 1024 * 1024;
    } else if (unit == "T" || unit == "t") {
        scale = 1024.0 * 1024 * 1024 * 1024;
    }
    const double bytes = number * scale;
    if (!(bytes >= 512) || bytes > 1e18) {
        return 0;
    }
    return static_cast<unsigned long long>(std::floor(bytes / 512)) * 512;
}

int Info(const std::string& file)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        return Fail(kError, "找不到保险柜文件：" + file);
    }
    const unsigned long long length = std::filesystem::file_size(file, error);
    const std::string problem = HeadProblem(file, length);
    std::printf("文件：%s\n长度：%llu 字节\n", file.c_str(), length);
    if (length >= VaultImage::DataOffset) {
        const unsigned long long data = length - VaultImage::DataOffset;
        std::printf("数据区：%llu 字节（%.1f MiB）\n", data, static_cast<double>(data) / 1048576.0);
    }
    std::printf("文件头：%s\n", problem.empty() ? "正常" : ("异常，" + problem).c_str());
    return problem.empty() ? kDone : kRefused;
}

int Check(const std::string& file)
{
    if (const int status = RequireVault(file); status != kDone) {
        return status;
    }
    const auto password = AskSecret("密码：");
    if (!password) {
        return Fail(kError, "没有输入密码");
    }
    HostVault vault(file);
    if (!NT_SUCCESS(vault.Open(*password, 0))) {
        return vault.InUse() ? Fail(kError, InUseMessage(file)) : Fail(kRefused, "密码不正确");
    }
    std::puts("密码正确");
    return kDone;
}

int ChangePassword(const std::string& file)
{
    if (const int status = RequireVault(file); status != kDone) {
        return status;
    }
    const auto old = AskSecret("旧密码：");
    if (!old) {
        return Fail(kError, "没有输入密码");
    }
    HostVault vault(file);
    if (!NT_SUCCESS(vault.Open(*old, 0))) {
        return vault.InUse() ? Fail(kError, InUseMessage(file)) : Fail(kRefused, "旧密码不正确");
    }
    const auto fresh = NewPassword();
    if (!fresh) {
        return kRefused;
    }
    VaultImage::PasswordField field;
    ToPasswordField(*fresh, field);
    const NTSTATUS status = vault.Image().ChangePassword(field);
    std::memset(field, 0, sizeof field);
    if (!NT_SUCCESS(status)) {
        return Fail(kError, "无法写入新密码");
    }
    std::puts("密码已修改");
    return kDone;
}

int Create(const std::string& file, const std::string& sizeText)
{
    const unsigned long long dataBytes = SizeFromText(sizeText);
    if (dataBytes == 0) {
        return Fail(kError, "大小无效：" + sizeText + "（例如 500M 或 2G）");
    }
    // mkntfs makes no volume below about 1.5 MiB.
    constexpr unsigned long long kSmallest = 2ull << 20;
    if (dataBytes < kSmallest) {
        return Fail(kError, "大小太小：" + sizeText + "（NTFS 的保险柜至少要 2M）");
    }
    std::error_code error;
    if (std::filesystem::exists(file, error)) {
        return Fail(kError, "文件已存在：" + file);
    }
    const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
    struct statvfs space {};
    if (statvfs(folder.c_str(), &space) != 0) {
        return Fail(kError, "找不到文件夹：" + folder.string());
    }
    const unsigned long long free = static_cast<unsigned long long>(space.f_bavail) * space.f_frsize;
    if (dataBytes + VaultImage::DataOffset > free) {
        return Fail(kError, "空间不足：需要 " + std::to_string(dataBytes + VaultImage::DataOffset) + " 字节，只有 " +
                                std::to_string(free) + " 字节");
    }
    if (host::FindSystemProgram("mkntfs").empty()) {
        return Fail(kError, "找不到 mkntfs，请先安装：apt-get install ntfs-3g");
    }
    const auto password = NewPassword();
    if (!password) {
        return kRefused;
    }
    bool made = false;
    {
        HostVault vault(file);
        if (!NT_SUCCESS(vault.Open(*password, dataBytes))) {
            return Fail(kError, "无法建立保险柜文件：" + file);
        }
        made = true;
        std::string problem;
        const std::string label = std::filesystem::path(file).stem().string();
        if (!FormatNtfs(vault.Image(), dataBytes, label, ShowProgress, problem)) {
            made = false;
            Fail(kError, problem);
        }
    }
    if (isatty(STDERR_FILENO)) {
        std::fputs("\n", stderr);
    }
    if (!made) {
        // A vault that could not be formatted is removed: it was ours alone.
        std::filesystem::remove(file, error);
        return kError;
    }
    std::printf("已建立保险柜：%s（%s，NTFS）\n", file.c_str(), sizeText.c_str());
    return kDone;
}

int Mount(const std::string& file, const std::string& folder, bool viaFuse)
{
    if (const int status = RequireVault(file); status != kDone) {
        return status;
    }
    if (const std::string problem = FolderProblem(folder); !problem.empty()) {
        return Fail(kError, problem);
    }
    MountPlan plan;
    if (const std::string missing = PlanMount(viaFuse, plan); !missing.empty()) {
        return Fail(kError, missing);
    }
    std::error_code error;
    plan.vault = std::filesystem::absolute(file, error).lexically_normal().string();
    plan.folder = std::filesystem::canonical(folder, error).string();
    auto password = AskSecret("密码：");
    if (!password) {
        return Fail(kError, "没有输入密码");
    }
    return MountInBackground(plan, *password);
}

int Unmount(const std::string& folder)
{
    std::error_code error;
    const std::string resolved = std::filesystem::canonical(folder, error).string();
    if (error) {
        return Fail(kError, "找不到文件夹：" + folder);
    }
    const auto record = LoadRecord(resolved);
    if (!record || !ProcessRuns(record->holder)) {
        if (record) {
            RemoveRecord(resolved);
        }
        return Fail(kError, IsMountPoint(resolved) ? "这里挂载的不是本工具挂载的保险柜：" + folder
                                                   : "这里没有挂载保险柜：" + folder);
    }
    if (IsMountPoint(resolved)) {
        std::string unmounter;
        if (const std::string missing = FindUnmounter(unmounter); !missing.empty()) {
            return Fail(kError, missing);
        }
        const ProgramOutcome done = RunProgram(UnmountCommand(unmounter, resolved));
        if (done.exitCode != 0) {
            return Fail(kError, "无法卸载 " + folder + "（其中的文件还在使用中？）：" +
                                    done.output.substr(0, done.output.find('\n')));
        }
    }
    if (!AwaitRelease(resolved, record->holder)) {
        return Fail(kError, "已卸载，但保险柜文件仍未释放：" + record->vault);
    }
    std::printf("已卸载：%s（%s）\n", folder.c_str(), record->vault.c_str());
    return kDone;
}

}  // namespace vault_tool
