// The change-password dialog: six checks in their order, the confirmation,
// and the new password stored in the open vault's header.
#include "shell/close_vault.h"
#include "shell/resource.h"
#include "manager_fixture.h"
#include "vault_ops/change_password_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvel::test {
namespace {

using tessaly::ChangePasswordDialog;
using tessaly::FormEvent;
using tessaly::MessageAnswer;

class ChangePasswordTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
        ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"opened", 8));
        m_Manager->rememberedPassword = u"opened";
        m_Dialog = std::make_unique<ChangePasswordDialog>(*m_Manager);
    }
    void TearDown() override
    {
        m_Dialog.reset();
        ManagerTest::TearDown();
    }

    void Type(const char16_t* old, const char16_t* first, const char16_t* second)
    {
        m_Dialog->OldPassword().TakeTyped(old);
        m_Dialog->TxtPwd2().TakeTyped(first);
        m_Dialog->TxtPwd3().TakeTyped(second);
    }

    // Whether the vault opens with `password` after a close.
    bool OpensWith(const char16_t* password)
    {
        m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
        const bool opened = MountVault("autorun.inf\\v.sec", password, 0);
        return opened;
    }

    std::unique_ptr<ChangePasswordDialog> m_Dialog;
};

TEST_F(ChangePasswordTest, TheFirstFailingCheckIsToldAndNothingChanges)
{
    struct Case {
        const char* label;
        const char16_t* old;
        const char16_t* first;
        const char16_t* second;
        const char* message;
    };
    const Case cases[] = {
        {"old password wrong, before anything else", u"Opened", u"^", u"", "旧密码不正确，请重输！"},
        {"16 characters typed twice, before the comparison", u"opened", u"0123456789abcdef", u"0123456789abcdeX",
         "密码长度不能超过15位！"},
        {"the two entries differ", u"opened", u"newpass1", u"Newpass1", "两次输入的新密码不一致！"},
        {"two empty entries pass the comparison and are refused", u"opened", u"", u"", "新密码不能为空，请输入新密码！"},
        {"seven characters", u"opened", u"1234567", u"1234567", "为了安全起见，输入的新密码必须大于8个字符！"},
        {"a caret", u"opened", u"abc^defg", u"abc^defg", "密码里不允许使用特殊字符“^”！"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_Ui.messages.clear();
        Type(c.old, c.first, c.second);
        m_Dialog->Change();
        EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{c.message});
        EXPECT_TRUE(m_Ui.unloaded.empty());
    }
    EXPECT_TRUE(OpensWith(u"opened"));
}

TEST_F(ChangePasswordTest, CancelAtTheConfirmationChangesNothing)
{
    Type(u"opened", u"12345678", u"12345678");
    m_Ui.answers.push_back(MessageAnswer::Cancel);
    m_Dialog->Change();
    ASSERT_EQ(m_Ui.messages.size(), 1u);
    EXPECT_EQ(U8(m_Ui.messages[0].text), "确认要修改密码吗？");
    EXPECT_EQ(m_Ui.messages[0].buttons, tessaly::MessageButtons::OkCancel);
    EXPECT_TRUE(m_Ui.unloaded.empty());
    EXPECT_TRUE(OpensWith(u"opened"));
}

TEST_F(ChangePasswordTest, EightCharactersAreEnoughAndTheVaultTakesTheNewPassword)
{
    Type(u"opened", u"12345678", u"12345678");
    m_Dialog->OnEvent(IDC_IMAGE2, FormEvent::Click, {});
    EXPECT_EQ(m_Ui.MessageTexts(),
              (std::vector<std::string>{"确认要修改密码吗？",
                                        "密码修改成功，请务必记录您的新密码为12345678，若遗忘密码将无法打开保险柜！"}));
    EXPECT_EQ(m_Ui.unloaded.size(), 1u);
    EXPECT_EQ(U8(m_Manager->rememberedPassword), "opened") << "a second change still expects the opening password";
    EXPECT_FALSE(OpensWith(u"opened"));
    EXPECT_TRUE(OpensWith(u"12345678"));
}

TEST_F(ChangePasswordTest, AVaultOpenedWithoutAPasswordIsChangedWithAnEmptyOldBox)
{
    m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
    ASSERT_TRUE(MountVault("autorun.inf\\free.sec", u"", 8));
    m_Manager->rememberedPassword = u"";
    Type(u"", u"Fifteen-chars-1", u"Fifteen-chars-1");
    m_Dialog->Change();
    EXPECT_EQ(m_Ui.MessageTexts().size(), 2u);
    EXPECT_EQ(m_Ui.unloaded.size(), 1u);
}

TEST_F(ChangePasswordTest, ARefusalByTheLibraryIsTold)
{
    m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
    Type(u"opened", u"12345678", u"12345678");
    m_Dialog->Change();
    EXPECT_EQ(m_Ui.MessageTexts(), (std::vector<std::string>{"确认要修改密码吗？", "密码修改失败！"}));
    EXPECT_TRUE(m_Ui.unloaded.empty());
}

}  // namespace
}  // namespace korvel::test
