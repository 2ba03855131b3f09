// Exit and uninstall: the vault is closed first, and when it is still in use
// the manager stays; otherwise the tray icon, the hotkey and the window
// procedure go and the process ends. Uninstall removes the Run value and the
// support files first.
#include "shell/resource.h"
#include "shell/close_vault.h"
#include "shell/sub_class.h"
#include "manager_fixture.h"

#include <host/kernel_io.h>
#include <host/user32_hooks.h>
#include <host/win32_hooks.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace korvel::test {
namespace {

using tessaly::MessageAnswer;

constexpr char kInUse[] = "检测到保险柜S:还在使用中，请关闭与[S:]相关的所有窗口和文件！";
constexpr char kConfirm[] = "请妥善备份保险柜文件，卸载后将无法打开保险柜，确认要卸载本软件吗？";

class ExitFlowTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
        std::ofstream(HostPath("Software/tessaly.chm")) << "help";
        std::ofstream(HostPath("Software/tessaly.exe")) << "program";
        LoadMainWindow(u"/h");
        ASSERT_EQ(StoredRunValue(), "C:\\Software\\tessaly.exe /h");
        ASSERT_EQ(host::NotifyIcons().size(), 1u);
    }

    bool Exists(const char* relative) const { return std::filesystem::exists(HostPath(relative)); }

    // What the end of the process left: the tray icon removed with the
    // record that added it, the window procedure and the hotkey given back.
    void ExpectEnded()
    {
        EXPECT_TRUE(m_Ui.ended);
        EXPECT_TRUE(host::NotifyIcons().empty());
        const std::vector<host::NotifyIconCall> calls = host::NotifyIconCalls();
        ASSERT_FALSE(calls.empty());
        const host::NotifyIconCall& last = calls.back();
        EXPECT_EQ(last.dwMessage, static_cast<DWORD>(NIM_DELETE));
        EXPECT_EQ(last.cbSize, m_Main->TrayRecord().cbSize);
        EXPECT_EQ(last.hWnd, m_Window);
        EXPECT_EQ(last.uID, 1u);
        EXPECT_EQ(GetPropW(m_Window, L"OldWndProc"), nullptr);
        EXPECT_NE(GetWindowLongPtrW(m_Window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&tessaly::HookWindowProc));
        EXPECT_FALSE(host::PressHotKey(MOD_ALT | MOD_CONTROL, 0x59));
    }

    void ExpectStillRunning()
    {
        EXPECT_FALSE(m_Ui.ended);
        EXPECT_EQ(host::NotifyIcons().size(), 1u);
        EXPECT_NE(GetPropW(m_Window, L"OldWndProc"), nullptr);
    }
};

TEST_F(ExitFlowTest, WithoutAVaultTheManagerEndsAtOnceAndSilently)
{
    m_Main->OnMenuCommand(IDM_EXIT);
    ExpectEnded();
    EXPECT_TRUE(m_Ui.messages.empty());
    EXPECT_EQ(StoredRunValue(), "C:\\Software\\tessaly.exe /h") << "exit writes nothing";
    EXPECT_TRUE(host::ObjectNameExists(u"\\Device\\VantorDevice0")) << "the driver service stays";
}

TEST_F(ExitFlowTest, AnOpenVaultIsClosedBeforeTheEndWithoutTheClosedMessage)
{
    ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"pw", 8));
    m_Main->OnMenuCommand(IDM_EXIT);
    EXPECT_FALSE(tessaly::VaultDriveIsOpen());
    ExpectEnded();
    EXPECT_TRUE(m_Ui.messages.empty());
}

TEST_F(ExitFlowTest, AVaultStillInUseKeepsTheManagerRunning)
{
    ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"pw", 8));
    HANDLE other = CreateFileW(L"\\\\.\\S:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    m_Main->OnMenuCommand(IDM_EXIT);
    CloseHandle(other);
    EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{kInUse});
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
    ExpectStillRunning();
}

TEST_F(ExitFlowTest, UninstallAnsweredWithCancelChangesNothing)
{
    m_Ui.answers.push_back(MessageAnswer::Cancel);
    m_Main->OnMenuCommand(IDM_UNINSTALL);
    ASSERT_EQ(m_Ui.messages.size(), 1u);
    EXPECT_EQ(U8(m_Ui.messages[0].text), kConfirm);
    EXPECT_EQ(m_Ui.messages[0].buttons, tessaly::MessageButtons::OkCancel);
    EXPECT_EQ(StoredRunValue(), "C:\\Software\\tessaly.exe /h");
    for (const char* file : {"Software/Vantor.dll", "Software/Pellix.dll", "Software/tessaly.chm"}) {
        EXPECT_TRUE(Exists(file)) << file;
    }
    ExpectStillRunning();
}

TEST_F(ExitFlowTest, UninstallRemovesTheRunValueAndTheSupportFilesThenEnds)
{
    m_Main->OnMenuCommand(IDM_UNINSTALL);
    EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{kConfirm});
    EXPECT_EQ(StoredRunValue(), "<none>");
    EXPECT_FALSE(Exists("Software/Vantor.dll"));
    EXPECT_FALSE(Exists("Software/tessaly.chm"));
    EXPECT_TRUE(Exists("Software/Pellix.dll")) << "the running manager has the library loaded";
    EXPECT_TRUE(Exists("Software/tessaly.exe")) << "the program file stays";
    ExpectEnded();
}

TEST_F(ExitFlowTest, UninstallSkipsWhatIsAlreadyGone)
{
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_ALL_ACCESS, &run), ERROR_SUCCESS);
    RegDeleteValueA(run, "tessaly");
    RegCloseKey(run);
    std::filesystem::remove(HostPath("Software/tessaly.chm"));
    std::filesystem::remove(HostPath("Software/Vantor.dll"));
    m_Main->OnMenuCommand(IDM_UNINSTALL);
    EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{kConfirm});
    ExpectEnded();
}

TEST_F(ExitFlowTest, UninstallWhileTheVaultIsInUseLeavesTheManagerWithoutItsEntry)
{
    ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"pw", 8));
    HANDLE other = CreateFileW(L"\\\\.\\S:", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    m_Main->OnMenuCommand(IDM_UNINSTALL);
    CloseHandle(other);
    EXPECT_EQ(m_Ui.MessageTexts(), (std::vector<std::string>{kConfirm, kInUse}));
    EXPECT_EQ(StoredRunValue(), "<none>");
    EXPECT_FALSE(Exists("Software/Vantor.dll"));
    EXPECT_TRUE(tessaly::VaultDriveIsOpen());
    ExpectStillRunning();
}

}  // namespace
}  // namespace korvel::test
