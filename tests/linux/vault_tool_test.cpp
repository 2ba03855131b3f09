// korvel-vault's info, check, create and passwd. Every refusal leaves the
// vault file as it was, byte for byte.
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using korvel::test::ReadHostFile;
using korvel::test::ToolOutcome;
using korvel::test::VaultToolTest;
using korvel::test::WriteHostFile;

TEST_F(VaultToolTest, CreateMakesAnNtfsVaultThatOpensWithItsPasswordInAnyCase)
{
    MakeVault("工作 资料.sec", "Abcdefgh1");
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }
    const auto bytes = ReadHostFile(Path("工作 资料.sec"));
    ASSERT_EQ(bytes.size(), 8u * 1024 * 1024 + 1024);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 512), std::vector<std::uint8_t>(512, 0));
    EXPECT_EQ(std::string(bytes.begin() + 1024 + 3, bytes.begin() + 1024 + 11), "NTFS    ")
        << "the data area starts with an NTFS boot sector";
    EXPECT_EQ(bytes[1024 + 510], 0x55);
    EXPECT_EQ(bytes[1024 + 511], 0xAA);

    const ToolOutcome info = Run({"info", Path("工作 资料.sec")});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("数据区：8388608 字节"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("文件头：正常"), std::string::npos) << info.out;
    EXPECT_EQ(info.out.find("Abcdefgh1"), std::string::npos) << "info never shows the password";

    EXPECT_EQ(Run({"check", Path("工作 资料.sec")}, "aBCDEFGH1\n").exitCode, 0);
    EXPECT_EQ(Run({"check", Path("工作 资料.sec")}, "Abcdefgh2\n").exitCode, 1);
}

TEST_F(VaultToolTest, PasswdRewritesOnlyThePasswordField)
{
    MakeVault("v.sec", "OldPass123");
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }
    const auto before = ReadHostFile(Path("v.sec"));
    const ToolOutcome changed = Run({"passwd", Path("v.sec")}, "oldpass123\nNewPass456\nNewPass456\n");
    ASSERT_EQ(changed.exitCode, 0) << changed.err;
    const auto after = ReadHostFile(Path("v.sec"));
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (i < 512 || i >= 544) {
            ASSERT_EQ(after[i], before[i]) << "byte " << i << " changed";
        }
    }
    EXPECT_EQ(Run({"check", Path("v.sec")}, "OldPass123\n").exitCode, 1);
    EXPECT_EQ(Run({"check", Path("v.sec")}, "NewPass456\n").exitCode, 0);
}

TEST_F(VaultToolTest, RefusalsSayWhyAndLeaveTheVaultAsItWas)
{
    MakeVault("v.sec", "Abcdefgh1");
    if (HasFatalFailure() || IsSkipped()) {
        return;
    }
    const std::string vault = Path("v.sec");
    struct Case {
        const char* label;
        std::vector<std::string> arguments;
        std::string input;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"wrong_password", {"check", vault}, "Abcdefgh2\n", 1, "密码不正确"},
        {"no_password", {"check", vault}, "", 2, "没有输入密码"},
        {"wrong_old_password", {"passwd", vault}, "nope\nNewPass456\nNewPass456\n", 1, "旧密码不正确"},
        {"new_too_long", {"passwd", vault}, "Abcdefgh1\n1234567890123456\n1234567890123456\n", 1, "不能超过15位"},
        {"new_typed_differently", {"passwd", vault}, "Abcdefgh1\nNewPass456\nNewPass457\n", 1, "不一致"},
        {"new_too_short", {"passwd", vault}, "Abcdefgh1\nShort12\nShort12\n", 1, "大于8个字符"},
        {"new_with_caret", {"passwd", vault}, "Abcdefgh1\nNew^Pass45\nNew^Pass45\n", 1, "特殊字符"},
        {"create_over_it", {"create", vault, "8M"}, "Abcdefgh1\nAbcdefgh1\n", 2, "文件已存在"},
        {"unknown_command", {"open", vault}, "", 2, "用法"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const auto before = ReadHostFile(vault);
        const ToolOutcome outcome = Run(c.arguments, c.input);
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        EXPECT_EQ(ReadHostFile(vault), before);
    }
}

TEST_F(VaultToolTest, FilesThatAreNotVaultsAreNamedAsSuch)
{
    std::vector<std::uint8_t> junk(4096);
    for (std::size_t i = 0; i < junk.size(); ++i) {
        junk[i] = std::uint8_t(i * 31 + 7);
    }
    WriteHostFile(Path("junk.sec"), junk);
    WriteHostFile(Path("short.sec"), std::vector<std::uint8_t>(700, 0));
    ASSERT_EQ(mkdir(Path("folder.sec").c_str(), 0755), 0);
    struct Case {
        const char* label;
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {"missing_info", {"info", Path("none.sec")}, 2, "找不到保险柜文件"},
        {"missing_check", {"check", Path("none.sec")}, 2, "找不到保险柜文件"},
        {"missing_passwd", {"passwd", Path("none.sec")}, 2, "找不到保险柜文件"},
        {"folder", {"check", Path("folder.sec")}, 2, "找不到保险柜文件"},
        {"junk_check", {"check", Path("junk.sec")}, 2, "不是保险柜文件"},
        {"junk_passwd", {"passwd", Path("junk.sec")}, 2, "不是保险柜文件"},
        {"short_check", {"check", Path("short.sec")}, 2, "文件太短"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const ToolOutcome outcome = Run(c.arguments, "Abcdefgh1\nNewPass456\nNewPass456\n");
        EXPECT_EQ(outcome.exitCode, c.exitCode);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(ReadHostFile(Path("junk.sec")), junk);
    EXPECT_EQ(ReadHostFile(Path("short.sec")), std::vector<std::uint8_t>(700, 0));
    EXPECT_FALSE(std::filesystem::exists(Path("none.sec"))) << "no check made a file";

    const ToolOutcome info = Run({"info", Path("junk.sec")});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.out.find("文件头：异常"), std::string::npos) << info.out;
}

TEST_F(VaultToolTest, CreateRefusesSizesThatNameNothingOrDoNotFit)
{
    struct Case {
        const char* size;
        const char* message;
    };
    const Case cases[] = {
        {"0", "大小无效"}, {"abc", "大小无效"}, {"-5M", "大小无效"}, {"12", "大小无效"}, {"10X", "大小无效"},
        {"1M", "大小太小"}, {"900000T", "空间不足"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const ToolOutcome outcome = Run({"create", Path("new.sec"), c.size}, "Abcdefgh1\nAbcdefgh1\n");
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
        EXPECT_FALSE(std::filesystem::exists(Path("new.sec")));
    }
    // A new password that breaks a rule makes no file either.
    const ToolOutcome weak = Run({"create", Path("new.sec"), "8M"}, "short\nshort\n");
    EXPECT_EQ(weak.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(Path("new.sec")));
}

}  // namespace
