// A vault's whole life through the manager: the dialogs and the shell on the
// real control library and the host driver, as a person would go through it.
#include "shell/close_vault.h"
#include "shell/resource.h"
#include "manager_fixture.h"
#include "vault_ops/change_password_dialog.h"
#include "vault_ops/create_vault_dialog.h"
#include "vault_ops/open_vault_dialog.h"

#include <host/drive_table.h>
#include <host/format_hooks.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace korvel::test {
namespace {

using tessaly::Form;
using tessaly::FormEvent;

class VaultLifeTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        host::MapDrive('C', host::Drive{m_Folder.Path(), host::DriveType::Fixed, 50ull << 30, 100ull << 30});
        // The format really writes an NTFS volume through S:, into the vault.
        host::ProvideFormatLibrary(host::FormatScript{{}, true, true});
        LoadMainWindow();
    }
    void TearDown() override
    {
        host::WithdrawFormatLibrary();
        ManagerTest::TearDown();
    }

    // The open dialog from the open button, with `password` typed.
    void OpenWith(const char16_t* password)
    {
        m_Ui.inDialog[IDD_OPEN] = [password](Form& form) {
            auto& dialog = static_cast<tessaly::OpenVaultDialog&>(form);
            dialog.TxtPassword().TakeTyped(password);
            dialog.OnEvent(IDC_IMAGE2, FormEvent::Click, {});
        };
        m_Main->OnEvent(IDC_COMMAND2, FormEvent::Click, {});
    }

    std::string FirstLine() const { return m_Main->List1().Count() ? U8(m_Main->List1().Item(0)) : "<empty>"; }

    std::string LastMessage() const { return m_Ui.messages.empty() ? "<none>" : U8(m_Ui.messages.back().text); }

    // The vault's data area holds an NTFS volume with this label.
    void ExpectNtfsVolume(const std::string& vault, const std::string& label)
    {
        const auto bytes = korvel::test::ReadHostFile(vault);
        ASSERT_GT(bytes.size(), 1024u + 512u);
        EXPECT_EQ(std::string(bytes.begin() + 1024 + 3, bytes.begin() + 1024 + 11), "NTFS    ");
        if (access("/usr/bin/ntfsinfo", X_OK) != 0) {
            return;  // the boot sector is all that can be seen without ntfs-3g
        }
        const std::string volume = HostPath("volume.img");
        korvel::test::WriteHostFile(volume, std::vector<std::uint8_t>(bytes.begin() + 1024, bytes.end()));
        const std::string command = "/usr/bin/ntfsinfo -m '" + volume + "' 2>&1";
        std::string report;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char line[512];
            while (std::fgets(line, sizeof line, pipe) != nullptr) {
                report += line;
            }
            pclose(pipe);
        }
        EXPECT_NE(report.find("Volume Name: " + label), std::string::npos) << report;
        std::filesystem::remove(volume);
    }
};

TEST_F(VaultLifeTest, CreateCloseOpenRekeyAndExit)
{
    // Create.
    m_Ui.inDialog[IDD_CREATE] = [](Form& form) {
        auto& dialog = static_cast<tessaly::CreateVaultDialog&>(form);
        dialog.Combo1().TakeTyped(u"C:");
        dialog.TxtName().TakeTyped(u"工作");
        dialog.TxtSize().TakeTyped(u".015625");  // 16 megabytes
        dialog.TxtPassword().TakeTyped(u"Start123");
        dialog.OnEvent(IDC_IMAGE2, FormEvent::Click, {});
    };
    m_Main->OnEvent(IDC_COMMAND1, FormEvent::Click, {});
    ASSERT_TRUE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(std::filesystem::file_size(HostPath("autorun.inf/工作.sec")), (16u << 20) + 1024);
    EXPECT_EQ(FirstLine(), "C:\\autorun.inf\\工作.sec，保险柜容量:.015625G，盘符:S:");
    ASSERT_EQ(host::FormatCalls().size(), 1u);
    EXPECT_EQ(host::FormatCalls()[0].label, u"工作");
    ExpectNtfsVolume(HostPath("autorun.inf/工作.sec"), "工作");

    // Close.
    m_Main->OnEvent(IDC_COMMAND3, FormEvent::Click, {});
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(LastMessage(), "Korvel保险柜S:已被关闭！");
    EXPECT_EQ(FirstLine(), "C:\\autorun.inf\\工作.sec，保险柜容量:.015625G");

    // Open: a wrong password, then the right one in another letter case.
    OpenWith(u"start124");
    EXPECT_EQ(LastMessage(), "打开保险柜失败，请检查密码是否正确?!");
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    OpenWith(u"sTART123");
    ASSERT_TRUE(tessaly::VaultDriveIsOpen());
    EXPECT_EQ(FirstLine(), "C:\\autorun.inf\\工作.sec，保险柜容量:.015625G，盘符:S:");

    // Re-key the open vault: the old password is the one it was opened with.
    m_Ui.inDialog[IDD_PASSWORD] = [](Form& form) {
        auto& dialog = static_cast<tessaly::ChangePasswordDialog&>(form);
        dialog.OldPassword().TakeTyped(u"sTART123");
        dialog.TxtPwd2().TakeTyped(u"Renewed-99");
        dialog.TxtPwd3().TakeTyped(u"Renewed-99");
        dialog.OnEvent(IDC_IMAGE2, FormEvent::Click, {});
    };
    m_Main->OnMenuCommand(IDM_PASSWORD);
    EXPECT_EQ(LastMessage(), "密码修改成功，请务必记录您的新密码为Renewed-99，若遗忘密码将无法打开保险柜！");

    // Close, then the old password no longer opens it and the new one does.
    m_Main->OnEvent(IDC_COMMAND3, FormEvent::Click, {});
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    OpenWith(u"Start123");
    EXPECT_EQ(LastMessage(), "打开保险柜失败，请检查密码是否正确?!");
    OpenWith(u"renewed-99");
    ASSERT_TRUE(tessaly::VaultDriveIsOpen());
    // An open vault: the open button shows it in Explorer instead.
    host::ClearRecordedProcessStarts();
    m_Main->OnEvent(IDC_COMMAND2, FormEvent::Click, {});
    EXPECT_EQ(StartedCommandLines(), std::vector<std::string>{"explorer.exe S:"});

    // Exit closes the vault and ends.
    const std::size_t messagesBefore = m_Ui.messages.size();
    m_Main->OnMenuCommand(IDM_EXIT);
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    EXPECT_TRUE(m_Ui.ended);
    EXPECT_EQ(m_Ui.messages.size(), messagesBefore);
}

}  // namespace
}  // namespace korvel::test
