#include "tessaly_fixture.h"

#include "pellix_binding.h"

namespace tessaly_wine {

std::optional<std::wstring> RunValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    wchar_t data[512] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, L"tessaly", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) {
        return std::nullopt;
    }
    return std::wstring(data);
}

void DeleteRunValue()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"tessaly");
        RegCloseKey(key);
    }
}

void CloseVaultAsS()
{
    if (wt::Pellix().UnMountEx(L"S", 1) == 1) {
        return;
    }
    wt::Handle volume = wt::OpenDevice(L"\\\\.\\S:");
    if (volume.Valid()) {
        wt::CloseVault(volume.Get());
    }
    volume.Reset();
    while (DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"S:", nullptr)) {
    }
}

::testing::AssertionResult EnsureVault()
{
    CreateDirectoryW(L"C:\\autorun.inf", nullptr);
    if (GetFileAttributesW(kVaultPath) != INVALID_FILE_ATTRIBUTES) {
        return ::testing::AssertionSuccess();
    }
    const wt::PellixExports& pellix = wt::Pellix();
    if (!pellix.Complete()) {
        return ::testing::AssertionFailure() << "C:\\Software\\Pellix.dll cannot be bound";
    }
    // The library keeps one driver-control object per process: install once.
    static bool s_Installed = false;
    if (!s_Installed && pellix.Install(wt::kServiceName, wt::kDriverPath, SERVICE_AUTO_START) == 0) {
        return ::testing::AssertionFailure() << "the driver service did not start";
    }
    s_Installed = true;
    const int mounted = pellix.MountEx(0, kVaultPath, 8, kVaultPassword, L"S");
    CloseVaultAsS();
    if (mounted == 0) {
        return ::testing::AssertionFailure() << "the vault could not be made";
    }
    return ::testing::AssertionSuccess();
}

void TessalyTest::SetUp()
{
    ASSERT_TRUE(EnsureVault());
}

void TessalyTest::TearDown()
{
    if (!m_Manager.Running()) {
        return;
    }
    // Whatever a failed test left open goes first, then the manager.
    for (int round = 0; round < 4; ++round) {
        if (HWND menu = gui::FindPopupMenu()) {
            gui::DismissMenu(menu);
        }
        if (auto box = gui::WaitForMessageBox(m_Manager.Id(), 0); box && !box->buttons.empty()) {
            gui::AnswerMessageBox(*box, box->buttons.back().id);
        }
    }
    m_Manager.Terminate(1);
    m_Manager.WaitForExit(5000);
}

void TessalyTest::StartManager(const std::vector<std::wstring>& arguments, bool hidden)
{
    ASSERT_TRUE(gui::Program::Start(kProgram, arguments, m_Manager));
    gui::WindowQuery query{kTitle, L"#32770", m_Manager.Id()};
    query.visibleOnly = !hidden;
    m_Main = gui::WaitForWindow(query, 20000);
    ASSERT_NE(m_Main, nullptr) << "the main window did not appear; windows:\n"
                               << gui::DescribeWindows(gui::TopLevelWindows());
    m_Manager.WaitForIdle(5000);
}

void TessalyTest::ExitThroughMenu()
{
    std::vector<gui::MenuItem> items;
    HWND menu = PopUpMenuByHotkey(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(gui::ChooseMenuItem(menu, L"退出"));
    ASSERT_TRUE(m_Manager.WaitForExit(10000)) << "the manager did not end";
}

HWND TessalyTest::PopUpMenuByHotkey(std::vector<gui::MenuItem>& items)
{
    m_Manager.WaitForIdle(5000);
    // Under Wine a window's activation reaches the program later, through X;
    // a menu popped up before it arrives would close at once. Wait until the
    // window in front has stayed the same for a moment.
    HWND front = GetForegroundWindow();
    ULONGLONG since = GetTickCount64();
    gui::WaitFor([&] {
        if (GetForegroundWindow() != front) {
            front = GetForegroundWindow();
            since = GetTickCount64();
        }
        return GetTickCount64() - since >= 300;
    }, 3000);
    EXPECT_TRUE(gui::PressChordThroughX("ctrl+alt+y"));
    HWND menu = gui::WaitForPopupMenu();
    if (menu == nullptr) {
        ADD_FAILURE() << "Alt+Ctrl+Y opened no menu";
        return nullptr;
    }
    EXPECT_TRUE(gui::ReadPopupMenu(menu, items));
    return menu;
}

std::vector<std::wstring> TessalyTest::ShownTexts(const std::vector<gui::MenuItem>& items)
{
    std::vector<std::wstring> texts;
    for (const gui::MenuItem& item : items) {
        texts.push_back(item.separator ? L"-" : item.ShownText());
    }
    return texts;
}

std::optional<gui::MessageBoxView> TessalyTest::ExpectMessage(const std::wstring& text, std::vector<int> buttons)
{
    std::optional<gui::MessageBoxView> box = gui::WaitForMessageBox(m_Manager.Id());
    if (!box) {
        ADD_FAILURE() << "no message box came; expected \"" << gui::Utf8(text) << "\"";
        return std::nullopt;
    }
    EXPECT_EQ(gui::Utf8(box->text), gui::Utf8(text));
    EXPECT_EQ(gui::Utf8(box->caption), gui::Utf8(kTitle));
    EXPECT_EQ(box->ButtonIds(), buttons);
    return box;
}

HWND TessalyTest::WaitForDialog(const std::wstring& caption)
{
    HWND dialog = gui::WaitForWindow({caption, L"#32770", m_Manager.Id()});
    EXPECT_NE(dialog, nullptr) << "no dialog \"" << gui::Utf8(caption) << "\"; windows:\n"
                               << gui::DescribeWindows(gui::TopLevelWindows());
    return dialog;
}

void TessalyTest::Screenshot(const std::string& name)
{
    m_Manager.WaitForIdle(5000);
    EXPECT_TRUE(gui::SaveScreenshot(name));
}

}  // namespace tessaly_wine
