// The open dialog: its checks in their order, the busy state, the mount with
// the password, the wait for S:, and the list showing the opened vault.
#include "shell/close_vault.h"
#include "shell/resource.h"
#include "manager_fixture.h"
#include "vault_ops/open_vault_dialog.h"

#include <host/drive_table.h>
#include <host/volume_hooks.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace korvel::test {
namespace {

using tessaly::FormEvent;
using tessaly::OpenVaultDialog;
using tessaly::Pointer;

constexpr char16_t kEntry[] = u"C:\\autorun.inf\\v.sec，保险柜容量:8M";

class OpenVaultTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
        // A vault with the password "Secret", closed again.
        ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"Secret", 8));
        ASSERT_NE(m_Manager->pellix.SysDiskUnMountEx(u"S", 0), 0);
        m_Dialog = std::make_unique<OpenVaultDialog>(*m_Manager, m_Main->List1());
    }
    void TearDown() override
    {
        m_Dialog.reset();
        ManagerTest::TearDown();
    }

    void Lines(std::vector<const char16_t*> lines, int selected = -1)
    {
        m_Main->List1().Clear();
        for (const char16_t* line : lines) {
            m_Main->List1().Add(line);
        }
        m_Main->List1().Select(selected);
    }

    std::vector<std::string> ListLines() const
    {
        std::vector<std::string> lines;
        for (const tessaly::Text& line : m_Main->List1().Items()) {
            lines.push_back(U8(line));
        }
        return lines;
    }

    std::unique_ptr<OpenVaultDialog> m_Dialog;
};

TEST_F(OpenVaultTest, TheChecksComeInTheirOrderAndNothingIsMountedOnARefusal)
{
    ScratchFolder network;
    host::MapDrive('E', host::Drive{network.Path(), host::DriveType::Remote, std::nullopt, std::nullopt});
    struct Case {
        const char* label;
        std::vector<const char16_t*> lines;
        int selected;
        const char16_t* password;
        const char* message;
        bool busy;  // reached the busy state
    };
    const Case cases[] = {
        {"empty list", {}, -1, u"0123456789abcdef", "未检测到保险柜，请新建！", false},
        {"not a drive path", {u"v.sec，保险柜容量:8M"}, -1, u"0123456789abcdef", "未检测到保险柜，请新建！", false},
        {"the selected line is checked", {kEntry, u""}, 1, u"Secret", "未检测到保险柜，请新建！", false},
        {"16 characters before the S rule", {u"S:\\autorun.inf\\v.sec，保险柜容量:8M"}, -1, u"0123456789abcdef",
         "保险柜密码长度不能超过15位！", false},
        {"a vault kept on S:", {u"s:\\autorun.inf\\v.sec，保险柜容量:8M"}, -1, u"Secret",
         "保险柜必须使用的S盘符已被占用!", false},
        {"a network drive", {u"E:\\autorun.inf\\v.sec，保险柜容量:8M"}, -1, u"Secret",
         "保险柜无法创建在[E:\\autorun.inf\\v.sec]!", true},
        {"a drive that does not exist", {u"Q:\\autorun.inf\\v.sec，保险柜容量:8M"}, -1, u"Secret",
         "保险柜无法创建在[Q:\\autorun.inf\\v.sec]!", true},
        {"a missing file", {u"C:\\autorun.inf\\gone.sec，保险柜容量:8M"}, -1, u"Secret",
         "找不到保险柜属主文件[C:\\autorun.inf\\gone.sec]!", true},
        {"a wrong password", {kEntry}, -1, u"wrong", "打开保险柜失败，请检查密码是否正确?!", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Lines(c.lines, c.selected);
        m_Ui.messages.clear();
        m_Ui.pointers.clear();
        m_Ui.unloaded.clear();
        m_Dialog->TxtPassword().TakeTyped(c.password);
        m_Dialog->Open();
        EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{c.message});
        EXPECT_FALSE(tessaly::VaultDriveIsOpen());
        EXPECT_TRUE(m_Ui.unloaded.empty()) << "the dialog stays open for another try";
        EXPECT_EQ(m_Ui.pointers, c.busy ? (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default})
                                        : std::vector<Pointer>{});
        EXPECT_EQ(m_Dialog->Image2().BorderStyle(), 0);
    }
    host::UnmapDrive('E');
}

TEST_F(OpenVaultTest, TheRememberedPasswordIsReplacedAtEveryMountAttempt)
{
    m_Manager->rememberedPassword = u"before";
    Lines({kEntry});
    m_Dialog->TxtPassword().TakeTyped(u"wrong");
    m_Dialog->Open();
    EXPECT_EQ(U8(m_Manager->rememberedPassword), "wrong");
    m_Dialog->TxtPassword().TakeTyped(u"0123456789abcdef");
    m_Dialog->Open();
    EXPECT_EQ(U8(m_Manager->rememberedPassword), "wrong") << "refused before any mount";
}

TEST_F(OpenVaultTest, TheRightPasswordInAnyLetterCaseOpensTheVaultAlone)
{
    Lines({u"C:\\autorun.inf\\other.sec，保险柜容量:1G", kEntry}, 1);
    m_Dialog->TxtPassword().TakeTyped(u"sECRET");
    m_Dialog->OnEvent(IDC_IMAGE2, FormEvent::Click, {});
    EXPECT_TRUE(m_Ui.messages.empty());
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(ListLines(), std::vector<std::string>{"C:\\autorun.inf\\v.sec，保险柜容量:8M，盘符:S:"});
    EXPECT_EQ(host::SleptMilliseconds(), (std::vector<DWORD>{1000, 1000})) << "one attempt, then the pause";
    EXPECT_EQ(StartedCommandLines(), std::vector<std::string>{"explorer.exe S:"});
    EXPECT_EQ(m_Ui.unloaded, std::vector<const tessaly::Form*>{m_Dialog.get()});
    EXPECT_EQ(m_Ui.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
    EXPECT_EQ(m_Dialog->Image2().BorderStyle(), 0);
    EXPECT_EQ(U8(m_Manager->rememberedPassword), "sECRET");
}

TEST_F(OpenVaultTest, EnterInThePasswordBoxOpensAsTheButtonDoes)
{
    Lines({kEntry});
    m_Dialog->TxtPassword().TakeTyped(u"Secret");
    tessaly::EventArgs otherKey;
    otherKey.key = u'a';
    m_Dialog->OnEvent(IDC_TXTPASSWORD, FormEvent::KeyPress, otherKey);
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    tessaly::EventArgs enter;
    enter.key = 13;
    m_Dialog->OnEvent(IDC_TXTPASSWORD, FormEvent::KeyPress, enter);
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(m_Dialog->DefaultControl(), IDC_IMAGE2) << "Enter anywhere in the dialog opens too";
}

TEST_F(OpenVaultTest, PasswordsUpToFifteenCharactersAndTheEmptyOneAreOffered)
{
    struct Case {
        const char* label;
        const char16_t* password;
    };
    const Case cases[] = {{"empty", u""}, {"fifteen characters", u"123456789012345"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove(HostPath("autorun.inf/p.sec"));
        ASSERT_TRUE(MountVault("autorun.inf\\p.sec", c.password, 8));
        ASSERT_NE(m_Manager->pellix.SysDiskUnMountEx(u"S", 0), 0);
        Lines({u"C:\\autorun.inf\\p.sec，保险柜容量:8M"});
        m_Ui.messages.clear();
        m_Dialog->TxtPassword().TakeTyped(c.password);
        m_Dialog->Open();
        EXPECT_TRUE(m_Ui.messages.empty());
        EXPECT_TRUE(tessaly::VaultDriveIsOpen());
        EXPECT_EQ(m_Manager->rememberedPassword, c.password);
        m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
    }
}

TEST_F(OpenVaultTest, AVaultOnARemovableDriveOpensLikeOneOnAFixedDrive)
{
    ScratchFolder stick;
    host::MapDrive('D', host::Drive{stick.Path(), host::DriveType::Removable, std::nullopt, std::nullopt});
    std::filesystem::create_directories(stick.Path() + "/autorun.inf");
    ASSERT_TRUE(m_Manager->pellix.SysDiskMountEx(0, u"D:\\autorun.inf\\u.sec", 8, u"pw", u"S") != 0);
    ASSERT_NE(m_Manager->pellix.SysDiskUnMountEx(u"S", 0), 0);
    Lines({u"D:\\autorun.inf\\u.sec，保险柜容量:8M"});
    m_Dialog->TxtPassword().TakeTyped(u"pw");
    m_Dialog->Open();
    EXPECT_TRUE(m_Ui.messages.empty());
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
    m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
    host::UnmapDrive('D');
}

TEST_F(OpenVaultTest, WhenSNeverComesTheDialogClosesQuietlyAndTheListStays)
{
    Lines({kEntry});
    m_Dialog->TxtPassword().TakeTyped(u"Secret");
    host::DelayVolumeArrival(1000);
    m_Dialog->Open();
    host::DelayVolumeArrival(0);
    EXPECT_TRUE(m_Ui.messages.empty());
    EXPECT_EQ(ListLines(), std::vector<std::string>{"C:\\autorun.inf\\v.sec，保险柜容量:8M"});
    EXPECT_EQ(host::SleptMilliseconds().size(), 10u);
    EXPECT_GE(m_Ui.pumps, 10);
    EXPECT_TRUE(StartedCommandLines().empty());
    EXPECT_EQ(m_Ui.unloaded.size(), 1u);
    EXPECT_EQ(m_Ui.pointers, (std::vector<Pointer>{Pointer::Hourglass, Pointer::Default}));
}

TEST_F(OpenVaultTest, ThePicturesLookPressedWhileHeldAndCancelCloses)
{
    m_Dialog->OnEvent(IDC_IMAGE3, FormEvent::MouseDown, {});
    EXPECT_EQ(m_Dialog->Image3().BorderStyle(), 1);
    m_Dialog->OnEvent(IDC_IMAGE3, FormEvent::MouseUp, {});
    EXPECT_EQ(m_Dialog->Image3().BorderStyle(), 0);
    m_Dialog->OnEvent(IDC_IMAGE3, FormEvent::Click, {});
    EXPECT_EQ(m_Ui.unloaded.size(), 1u);
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
}

}  // namespace
}  // namespace korvel::test
