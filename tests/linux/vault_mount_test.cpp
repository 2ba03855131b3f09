// korvel-vault mount and unmount: the vault's NTFS at a folder, through a
// loop device or through the FUSE file, with the vault file held against
// every other open while it is mounted. Where the machine cannot mount
// (a loop device needs root), those tests skip and say why.
#include "tool_fixture.h"

#include <host/system_programs.h>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using korvel::test::ReadHostFile;
using korvel::test::ToolOutcome;
using korvel::test::VaultToolTest;
using korvel::test::WriteHostFile;

// The file system type and source of the mount at `folder`, as mountinfo
// gives them; empty when nothing is mounted there.
std::pair<std::string, std::string> MountAt(const std::string& folder)
{
    const std::string resolved = std::filesystem::canonical(folder).string();
    std::ifstream table("/proc/self/mountinfo");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point, options, field;
        fields >> id >> parent >> device >> root >> point >> options;
        while (fields >> field && field != "-") {
        }
        std::string type, source;
        fields >> type >> source;
        // mountinfo spells a space as \040.
        std::string plain;
        for (std::size_t i = 0; i < point.size(); ++i) {
            if (point.compare(i, 4, "\\040") == 0) {
                plain += ' ';
                i += 3;
            } else {
                plain += point[i];
            }
        }
        if (plain == resolved) {
            return {type, source};
        }
    }
    return {};
}

bool FuseAllowsOthers()
{
    std::ifstream config("/etc/fuse.conf");
    std::string line;
    while (std::getline(config, line)) {
        if (line.rfind("user_allow_other", 0) == 0) {
            return true;
        }
    }
    return false;
}

// Whether this process may mount at all: a container may keep even root
// from it.
bool MayMount()
{
    char folder[] = "/tmp/korvel-mount-probe-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return false;
    }
    const bool mounted = mount("none", folder, "tmpfs", 0, "size=4k") == 0;
    if (mounted) {
        umount(folder);
    }
    rmdir(folder);
    return mounted;
}

// Why this machine cannot mount a vault by `via`; empty when it can.
std::string MountUnavailable(const std::string& via)
{
    const bool root = geteuid() == 0;
    if (host::FindSystemProgram("ntfs-3g").empty()) {
        return "ntfs-3g is not installed (Debian package ntfs-3g)";
    }
    if (root && !MayMount()) {
        return "this machine does not let even root mount (a container without CAP_SYS_ADMIN)";
    }
    if (via == "loop") {
        if (!root) {
            return "a loop device needs root";
        }
        if (access("/dev/loop-control", R_OK | W_OK) != 0 || host::FindSystemProgram("losetup").empty()) {
            return "no loop devices here";
        }
        return {};
    }
    if (access("/dev/fuse", R_OK | W_OK) != 0) {
        return "/dev/fuse is missing or closed to this user (Debian package fuse3, the fuse kernel module)";
    }
    if (!root && !FuseAllowsOthers()) {
        return "a normal user's FUSE mount needs user_allow_other in /etc/fuse.conf (ntfs-3g runs setuid root)";
    }
    return {};
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class VaultMountTest : public VaultToolTest, public ::testing::WithParamInterface<std::string> {
protected:
    void TearDown() override
    {
        // A failed test leaves nothing mounted and no holder behind.
        for (const std::string& folder : m_Folders) {
            if (!MountAt(folder).first.empty()) {
                Run({"unmount", folder});
            }
            if (!MountAt(folder).first.empty()) {
                std::system(("umount -l '" + folder + "' 2>/dev/null").c_str());
            }
        }
    }

    std::string Folder(const std::string& name)
    {
        const std::string folder = Path(name);
        std::filesystem::create_directories(folder);
        m_Folders.push_back(folder);
        return folder;
    }

    std::vector<std::string> MountArguments(const std::string& vault, const std::string& folder) const
    {
        if (GetParam() == "fuse") {
            return {"mount", "--fuse", vault, folder};
        }
        return {"mount", vault, folder};
    }

    // Waits until the vault file is free again (check answers 0), as after
    // a plain umount the holder lets go of it on its own.
    bool AwaitRelease(const std::string& vault, const std::string& password)
    {
        for (int tick = 0; tick < 200; ++tick) {
            if (Run({"check", vault}, password + "\n").exitCode == 0) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::vector<std::string> m_Folders;
};

TEST_P(VaultMountTest, FilesWrittenThereOutliveUnmountAndTheNextMount)
{
    if (const std::string reason = MountUnavailable(GetParam()); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    MakeVault("资料 库.sec", "Abcdefgh1", "16M");
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }
    const std::string vault = Path("资料 库.sec");
    const auto before = ReadHostFile(vault);
    const std::string folder = Folder("挂载 点");

    const ToolOutcome mounted = Run(MountArguments(vault, folder), "aBCDEFGH1\n");
    ASSERT_EQ(mounted.exitCode, 0) << mounted.err;
    EXPECT_NE(mounted.out.find("已挂载"), std::string::npos) << mounted.out;
    const auto [type, source] = MountAt(folder);
    if (GetParam() == "loop") {
        EXPECT_EQ(type, "fuseblk");
        EXPECT_EQ(source.rfind("/dev/loop", 0), 0u) << source;
    } else {
        EXPECT_EQ(type, "fuse");
        EXPECT_NE(source.find("korvel-vault"), std::string::npos) << source;
    }

    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += "第" + std::to_string(i) + "行\n";
    }
    std::filesystem::create_directories(folder + "/文档");
    std::ofstream(folder + "/文档/报告.txt", std::ios::binary) << content;

    // While mounted, the vault file is held: nothing else opens it.
    const std::string other = Folder("other");
    struct Refusal {
        const char* label;
        std::vector<std::string> arguments;
        std::string input;
        const char* message;
    };
    const Refusal refusals[] = {
        {"check", {"check", vault}, "Abcdefgh1\n", "正被使用"},
        {"passwd", {"passwd", vault}, "Abcdefgh1\nNewPass456\nNewPass456\n", "正被使用"},
        {"second_mount", MountArguments(vault, other), "Abcdefgh1\n", "正被使用"},
        {"folder_taken", MountArguments(vault, folder), "Abcdefgh1\n", "已经挂载"},
        {"unmount_elsewhere", {"unmount", other}, "", "没有挂载保险柜"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.label);
        const ToolOutcome refused = Run(r.arguments, r.input);
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_NE(refused.err.find(r.message), std::string::npos) << refused.err;
    }
    EXPECT_TRUE(MountAt(other).first.empty());
    if (geteuid() == 0) {
        // As root the holder refuses every other program's open too, Wine's
        // included, whose sharing rules live in its own server.
        EXPECT_FALSE(std::ifstream(vault, std::ios::binary).is_open()) << "a plain open of the held file";
    }

    const ToolOutcome unmounted = Run({"unmount", folder});
    ASSERT_EQ(unmounted.exitCode, 0) << unmounted.err;
    EXPECT_TRUE(MountAt(folder).first.empty());
    EXPECT_EQ(Run({"check", vault}, "Abcdefgh1\n").exitCode, 0) << "unmount returns once the file is free";

    ASSERT_EQ(Run(MountArguments(vault, folder), "Abcdefgh1\n").exitCode, 0);
    EXPECT_EQ(ReadText(folder + "/文档/报告.txt"), content);
    // A person's own umount works too: the holder lets go of the file.
    const std::string umount = geteuid() == 0 ? "umount '" : "fusermount3 -u '";
    ASSERT_EQ(std::system((umount + folder + "'").c_str()), 0);
    EXPECT_TRUE(AwaitRelease(vault, "Abcdefgh1"));

    const auto after = ReadHostFile(vault);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(std::equal(before.begin(), before.begin() + 1024, after.begin())) << "the header block is untouched";
}

TEST_P(VaultMountTest, AWrongPasswordMountsNothingAndChangesNothing)
{
    if (const std::string reason = MountUnavailable(GetParam()); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    MakeVault("v.sec", "Abcdefgh1");
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }
    const std::string vault = Path("v.sec");
    const auto before = ReadHostFile(vault);
    const std::string folder = Folder("m");
    const ToolOutcome refused = Run(MountArguments(vault, folder), "Abcdefgh2\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("密码不正确"), std::string::npos) << refused.err;
    EXPECT_TRUE(MountAt(folder).first.empty());
    EXPECT_EQ(ReadHostFile(vault), before);
    EXPECT_EQ(Run({"check", vault}, "Abcdefgh1\n").exitCode, 0) << "nothing holds the file";
}

INSTANTIATE_TEST_SUITE_P(Ways, VaultMountTest, ::testing::Values("loop", "fuse"),
                         [](const ::testing::TestParamInfo<std::string>& way) { return way.param; });

// Refusals before anything is mounted; these need no root.
TEST_F(VaultToolTest, MountRefusalsSayWhyAndLeaveTheVaultAsItWas)
{
    MakeVault("v.sec", "Abcdefgh1");
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }
    const std::string vault = Path("v.sec");
    std::vector<std::uint8_t> junk(4096, 0x41);
    WriteHostFile(Path("junk.sec"), junk);
    std::filesystem::create_directories(Path("empty"));
    std::filesystem::create_directories(Path("full"));
    WriteHostFile(Path("full/keep.txt"), {1, 2, 3});
    WriteHostFile(Path("plain.txt"), {1});
    struct Case {
        const char* label;
        std::vector<std::string> arguments;
        std::string environment;
        const char* message;
    };
    const Case cases[] = {
        {"missing_vault", {"mount", Path("none.sec"), Path("empty")}, "", "找不到保险柜文件"},
        {"not_a_vault", {"mount", Path("junk.sec"), Path("empty")}, "", "不是保险柜文件"},
        {"missing_folder", {"mount", vault, Path("nowhere")}, "", "找不到文件夹"},
        {"folder_is_a_file", {"mount", vault, Path("plain.txt")}, "", "不是文件夹"},
        {"folder_not_empty", {"mount", vault, Path("full")}, "", "文件夹不是空的"},
        {"no_ntfs_3g", {"mount", vault, Path("empty")}, "PATH=/nonexistent", "找不到 ntfs-3g，请先安装：apt-get install ntfs-3g"},
        {"unmount_unmounted", {"unmount", Path("empty")}, "", "这里没有挂载保险柜"},
        {"unmount_missing", {"unmount", Path("nowhere")}, "", "找不到文件夹"},
        {"mount_without_folder", {"mount", vault}, "", "用法"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto before = ReadHostFile(vault);
        const ToolOutcome outcome = Run(c.arguments, "Abcdefgh1\n", c.environment);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        EXPECT_EQ(ReadHostFile(vault), before);
    }
    EXPECT_EQ(ReadHostFile(Path("junk.sec")), junk);
    EXPECT_EQ(ReadHostFile(Path("full/keep.txt")), (std::vector<std::uint8_t>{1, 2, 3}));
}

}  // namespace
