// The real setup.exe in a Wine prefix, run as a person runs it: the install
// notes on a machine it has not been on, every file in C:\Software, the
// desktop shortcut, the manager started; a second run that changes nothing;
// an outdated driver replaced with a request to restart. The tests run in
// this order, each on what the one before left.
#include "gui_harness.h"
#include "pellix_binding.h"
#include "wine_support.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kInstaller[] = L"C:\\setup.exe";
constexpr wchar_t kFolder[] = L"C:\\Software";
constexpr wchar_t kManagerTitle[] = L"Korvel多功能保险柜";
constexpr wchar_t kNotesCaption[] = L"Korvel多功能保险柜v2.7.1--安装向导";
const wchar_t* const kFiles[] = {L"tessaly.exe", L"tessaly.chm", L"Pellix.dll", L"Vantor.dll"};

std::vector<char> FileBytes(const std::wstring& path)
{
    std::vector<char> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::vector<char>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::wstring DistFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"KORVEL_DIST_X64", folder, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

std::wstring InFolder(const wchar_t* name)
{
    return std::wstring(kFolder) + L"\\" + name;
}

ULONGLONG WriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Every running manager ends, as when the user logs off.
void EndManagers()
{
    for (HWND window : gui::TopLevelWindows({kManagerTitle, L"#32770", 0, false})) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, gui::WindowProcessId(window));
        if (process != nullptr) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

struct ShortcutView {
    bool read = false;
    std::wstring target;
    std::wstring folder;
    std::wstring description;
};

ShortcutView ReadShortcut(const std::wstring& link)
{
    ShortcutView view;
    IShellLinkW* shortcut = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shortcut)))) {
        return view;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link.c_str(), STGM_READ))) {
            wchar_t text[MAX_PATH] = {};
            shortcut->GetPath(text, MAX_PATH, nullptr, 0);
            view.target = text;
            shortcut->GetWorkingDirectory(text, MAX_PATH);
            view.folder = text;
            shortcut->GetDescription(text, MAX_PATH);
            view.description = text;
            view.read = true;
        }
        file->Release();
    }
    shortcut->Release();
    return view;
}

class SetupTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    static void TearDownTestSuite()
    {
        EndManagers();
        CoUninitialize();
    }

    // A machine the installer has not been on: no program files, no service.
    static void MakeFresh()
    {
        EndManagers();
        wt::RemoveDriverService();
        for (const wchar_t* name : kFiles) {
            SetFileAttributesW(InFolder(name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ASSERT_TRUE(gui::WaitFor(
                [&] {
                    return DeleteFileW(InFolder(name).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
                },
                5000))
                << gui::Utf8(name) << " cannot be deleted: error " << GetLastError();
        }
    }

    void RunInstaller()
    {
        ASSERT_TRUE(gui::Program::Start(kInstaller, {}, m_Installer));
    }

    std::optional<gui::MessageBoxView> ExpectBox(const std::wstring& caption, const std::wstring& text,
                                                 std::vector<int> buttons)
    {
        auto box = gui::WaitForMessageBox(m_Installer.Id());
        if (!box) {
            ADD_FAILURE() << "the installer showed no message box";
            return std::nullopt;
        }
        EXPECT_EQ(gui::Utf8(box->caption), gui::Utf8(caption));
        EXPECT_EQ(gui::Utf8(box->text), gui::Utf8(text));
        EXPECT_EQ(box->ButtonIds(), buttons);
        return box;
    }

    void ExpectInstallerEnds()
    {
        ASSERT_TRUE(m_Installer.WaitForExit(20000)) << "the installer did not end";
        EXPECT_EQ(m_Installer.ExitCode(), std::optional<DWORD>(0));
    }

    gui::Program m_Installer;
};

const wchar_t kNotes[] =
    L"安装注意事项：\n"
    L"1、请用系统管理员帐户才能成功安装Korvel多功能保险柜；\n"
    L"2、相关软件已经过微软认证，如遇病毒防护软件拦截误报，请务必放行并加入信任库；\n"
    L"3、可将财务数据、客户资料、账户信息、私人文档、照片和影碟等各种文件拷贝到保险柜里进行保护；\n"
    L"4、可将财务软件、MAIL软件、QQ软件、游戏软件等各种应用软件或数据库安装到保险柜里进行保护；\n"
    L"5、Korvel多功能保险柜运行后生成托盘区小图标，快捷键为Alt+Ctrl+Y；";

TEST_F(SetupTest, CancelOnTheInstallNotesWritesNothing)
{
    MakeFresh();
    RunInstaller();
    auto notes = ExpectBox(kNotesCaption, kNotes, {IDOK, IDCANCEL});
    ASSERT_TRUE(notes);
    m_Installer.WaitForIdle(5000);
    EXPECT_TRUE(gui::SaveScreenshot("setup-install-notes"));
    ASSERT_TRUE(gui::AnswerMessageBox(*notes, IDCANCEL));
    ExpectInstallerEnds();
    for (const wchar_t* name : kFiles) {
        EXPECT_EQ(GetFileAttributesW(InFolder(name).c_str()), INVALID_FILE_ATTRIBUTES) << gui::Utf8(name);
    }
    EXPECT_FALSE(gui::WaitForWindow({kManagerTitle, L"#32770", 0}, 1500)) << "no manager started";
}

TEST_F(SetupTest, AFirstRunInstallsEveryFileTheShortcutAndStartsTheManager)
{
    MakeFresh();
    const std::wstring dist = DistFolder();
    ASSERT_FALSE(dist.empty()) << "run through tests/wine/run-wine-tests.sh, which names dist/x64";
    RunInstaller();
    auto notes = ExpectBox(kNotesCaption, kNotes, {IDOK, IDCANCEL});
    ASSERT_TRUE(notes);
    ASSERT_TRUE(gui::AnswerMessageBox(*notes, IDOK));
    ExpectInstallerEnds();
    for (const wchar_t* name : kFiles) {
        SCOPED_TRACE(gui::Utf8(name));
        const std::vector<char> installed = FileBytes(InFolder(name));
        ASSERT_FALSE(installed.empty());
        EXPECT_TRUE(installed == FileBytes(dist + L"\\" + name)) << "not the file of dist/x64";
    }

    wchar_t desktop[MAX_PATH] = {};
    ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop)));
    const ShortcutView shortcut = ReadShortcut(std::wstring(desktop) + L"\\Korvel多功能保险柜.lnk");
    ASSERT_TRUE(shortcut.read) << "no shortcut on the desktop";
    EXPECT_EQ(gui::Utf8(shortcut.target), "C:\\Software\\tessaly.exe");
    EXPECT_EQ(gui::Utf8(shortcut.folder), "C:\\Software");
    EXPECT_EQ(gui::Utf8(shortcut.description), "Korvel登录器");

    HWND manager = gui::WaitForWindow({kManagerTitle, L"#32770", 0}, 20000);
    ASSERT_NE(manager, nullptr) << "the installer started no manager";
    wt::ServiceHandle services(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    wt::ServiceHandle service(OpenServiceW(services.Get(), L"Vantor", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(service.Valid()) << "the manager installed no driver service";
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service.Get(), &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(gui::SaveScreenshot("setup-then-the-manager"));
}

TEST_F(SetupTest, ASecondRunRewritesNothingAndTheRunningManagerStays)
{
    HWND manager = gui::WaitForWindow({kManagerTitle, L"#32770", 0}, 5000);
    ASSERT_NE(manager, nullptr) << "the manager of the first run is gone";
    const DWORD managerProcess = gui::WindowProcessId(manager);
    std::map<std::wstring, ULONGLONG> written;
    for (const wchar_t* name : kFiles) {
        written[name] = WriteTime(InFolder(name));
    }
    RunInstaller();
    EXPECT_FALSE(gui::WaitForMessageBox(m_Installer.Id(), 2000)) << "no notes: the driver is there";
    ExpectInstallerEnds();
    for (const wchar_t* name : kFiles) {
        EXPECT_EQ(WriteTime(InFolder(name)), written[name]) << gui::Utf8(name) << " was written again";
    }
    // The manager it started found the first one running and ended.
    Sleep(1500);
    const std::vector<HWND> managers = gui::TopLevelWindows({kManagerTitle, L"#32770", 0, false});
    ASSERT_EQ(managers.size(), 1u);
    EXPECT_EQ(gui::WindowProcessId(managers[0]), managerProcess);
}

TEST_F(SetupTest, AnOlderDriverOfTheSameSizeIsReplacedAndARestartIsAskedFor)
{
    EndManagers();
    ASSERT_TRUE(wt::RemoveDriverService()) << "the driver must not be loaded while its file is replaced";
    // The same driver, one revision lower and written long ago.
    std::vector<char> driver = FileBytes(InFolder(L"Vantor.dll"));
    const char signature[] = {'\xBD', '\x04', '\xEF', '\xFE'};
    auto fixed = std::search(driver.begin(), driver.end(), std::begin(signature), std::end(signature));
    ASSERT_NE(fixed, driver.end()) << "the driver has no fixed version information";
    const size_t at = static_cast<size_t>(fixed - driver.begin());
    DWORD leastSignificant = 0;
    std::memcpy(&leastSignificant, driver.data() + at + 12, 4);
    ASSERT_GT(leastSignificant & 0xFFFF, 0u);
    leastSignificant -= 1;
    std::memcpy(driver.data() + at + 12, &leastSignificant, 4);
    ASSERT_TRUE(WriteBytes(InFolder(L"Vantor.dll"), driver));
    HANDLE file = CreateFileW(InFolder(L"Vantor.dll").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME longAgo{2001, 1, 1, 1, 12, 0, 0, 0};
    FILETIME stamp{};
    SystemTimeToFileTime(&longAgo, &stamp);
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
    SetFileAttributesW(InFolder(L"Vantor.dll").c_str(), FILE_ATTRIBUTE_READONLY);

    RunInstaller();
    auto updated = ExpectBox(L"升级工具提示", L"检测到驱动更新，需要重启才能生效!", {IDOK});
    ASSERT_TRUE(updated);
    m_Installer.WaitForIdle(5000);
    EXPECT_TRUE(gui::SaveScreenshot("setup-driver-updated"));
    ASSERT_TRUE(gui::AnswerMessageBox(*updated, IDOK));
    ExpectInstallerEnds();
    EXPECT_TRUE(FileBytes(InFolder(L"Vantor.dll")) == FileBytes(DistFolder() + L"\\Vantor.dll"))
        << "the read-only, older driver was replaced";
    EXPECT_FALSE(gui::WaitForWindow({kManagerTitle, L"#32770", 0}, 2000)) << "no manager before the restart";
}

}  // namespace
