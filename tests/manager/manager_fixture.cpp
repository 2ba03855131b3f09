#include "manager_fixture.h"

#include "shell/sub_class.h"
#include "shell/texts.h"

#include <host/kernel_io.h>
#include <host/test_hooks.h>
#include <host/user32_hooks.h>
#include <host/utf16.h>
#include <host/win32_hooks.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace korvel::test {

namespace {

constexpr WCHAR kMainClass[] = L"KorvelTestMainWindow";

}  // namespace

void ManagerTest::SetUp()
{
    ScratchDriveTest::SetUp();
    host::ResetRegistry();
    host::ResetDesktop();
    host::ResetServiceManager();
    host::UseTestClock(true);
    host::ClearRecordedProcessStarts();
    host::ClearShellExecuteRequests();
    host::SetAnsiCodePage(936);

    std::filesystem::create_directories(HostPath("Software"));
    std::filesystem::copy_file(VANTOR_IMAGE, HostPath("Software/Vantor.dll"));
    std::filesystem::copy_file(PELLIX_IMAGE, HostPath("Software/Pellix.dll"));
    host::SetProgramFile(u"C:\\Software\\tessaly.exe");

    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(run);

    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.lpszClassName = kMainClass;
    ASSERT_NE(RegisterClassW(&windowClass), 0);
    m_Window = CreateWindowExW(0, kMainClass, L"Korvel多功能保险柜", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr,
                               nullptr, nullptr, nullptr);
    ASSERT_NE(m_Window, nullptr);

    m_Manager = std::make_unique<tessaly::Manager>(m_Ui, u"C:\\Software");
    m_Main = std::make_unique<tessaly::MainWindow>(*m_Manager);
    m_Main->Attach(m_Window, m_Icon);
}

void ManagerTest::TearDown()
{
    if (m_Manager) {
        // Whatever a test left mounted goes, and the library lets its
        // driver-control object go, as the tests of the library do.
        m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
        m_Manager->pellix.SysDiskUnInstall();
    }
    if (m_OtherPellix) {
        m_OtherPellix->SysDiskUnInstall();
        m_OtherPellix.reset();
    }
    m_Main.reset();
    m_Manager.reset();
    // The hotkey's action refers to the main window, which is gone.
    tessaly::SetHotkeyAction(nullptr);
    host::ResetServiceManager();
    host::ResetDesktop();
    host::ResetRegistry();
    host::SetProgramFile(u"");
    host::SetAnsiCodePage(65001);
    host::UseTestClock(false);
    EXPECT_FALSE(host::ObjectNameExists(u"\\Device\\VantorDevice0"));
    ScratchDriveTest::TearDown();
}

std::string ManagerTest::StoredRunValue() const
{
    const auto value = host::ReadStoredRegistryValue(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", u"tessaly");
    if (!value) {
        return "<none>";
    }
    std::u16string text(value->data.size() / 2, u'\0');
    std::memcpy(text.data(), value->data.data(), text.size() * 2);
    while (!text.empty() && text.back() == u'\0') {
        text.pop_back();
    }
    return U8(text);
}

void ManagerTest::StoreRunValue(const std::string& data) const
{
    HKEY run = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run), ERROR_SUCCESS);
    RegSetValueExA(run, "tessaly", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
    RegCloseKey(run);
}

void ManagerTest::MakeFile(const std::string& relative, std::uint64_t bytes, DWORD attributes) const
{
    const std::string path = HostPath(relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(bytes)), 0);
    ::close(fd);
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesW(Wide("C:\\" + relative), attributes)) << relative;
    }
}

void ManagerTest::LoadMainWindow(const char16_t* arguments)
{
    m_Main->SetArguments(arguments);
    m_Main->Load();
}

bool ManagerTest::StartDriverService()
{
    // Another copy of the library starts it, as an earlier run of the
    // manager would have, so that the manager's own library is still free
    // to install it.
    if (!m_OtherPellix) {
        std::filesystem::copy_file(PELLIX_IMAGE, HostPath("Software/PellixOther.dll"));
        m_OtherPellix = std::make_unique<tessaly::PellixLibrary>(u"C:\\Software", u"PellixOther.dll");
        return m_OtherPellix->SysDiskInstall(u"Vantor", u"C:\\Software\\Vantor.dll", SERVICE_AUTO_START) != 0;
    }
    return true;
}

bool ManagerTest::MountVault(const std::string& relative, const char16_t* password, int sizeMegabytes)
{
    if (!StartDriverService()) {
        return false;
    }
    return m_Manager->pellix.SysDiskMountEx(0, tessaly::Text(u"C:\\") + host::Utf8ToUtf16(relative), sizeMegabytes, password,
                                            u"S") != 0;
}

std::vector<std::string> ManagerTest::StartedCommandLines() const
{
    std::vector<std::string> lines;
    for (const host::ProcessStart& start : host::RecordedProcessStarts()) {
        lines.push_back(start.commandLine ? U8(*start.commandLine) : "<none>");
    }
    return lines;
}

}  // namespace korvel::test
