// Closing the vault: Explorer windows on S: are asked to close, the drive is
// dismounted gently and then by force, and the list and the user learn the
// outcome. The vault is mounted for real, through the control library and
// the host driver.
#include "shell/close_vault.h"
#include "shell/resource.h"
#include "manager_fixture.h"

#include <host/user32_hooks.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace korvel::test {
namespace {

using tessaly::FormEvent;

constexpr char kClosed[] = "Korvel保险柜S:已被关闭！";
constexpr char kInUse[] = "检测到保险柜S:还在使用中，请关闭与[S:]相关的所有窗口和文件！";

class CloseVaultTest : public ManagerTest {
protected:
    void SetUp() override
    {
        ManagerTest::SetUp();
        ASSERT_TRUE(std::filesystem::create_directories(HostPath("autorun.inf")));
    }

    // A window of `className` (registered on first use) with `parent`.
    HWND MakeWindow(const wchar_t* className, HWND parent, const wchar_t* text = L"")
    {
        if (!GetClassInfoLike(className)) {
            WNDCLASSW windowClass{};
            windowClass.lpfnWndProc = DefWindowProcW;
            windowClass.lpszClassName = className;
            RegisterClassW(&windowClass);
            m_Classes.insert(Narrow(className));
        }
        HWND window = CreateWindowExW(0, className, text, parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                      parent, nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr) << Narrow(className);
        return window;
    }

    bool GetClassInfoLike(const wchar_t* className) const
    {
        const std::string name = Narrow(className);
        return name == "Edit" || name == "ComboBoxEx32" || name == "Static" || m_Classes.count(name) != 0;
    }

    // The windows that were asked to close.
    static std::set<HWND> AskedToClose()
    {
        std::set<HWND> windows;
        for (const MSG& message : host::PostedMessages()) {
            if (message.message == WM_CLOSE) {
                EXPECT_EQ(message.wParam, 0u);
                EXPECT_EQ(message.lParam, 0);
                windows.insert(message.hwnd);
            }
        }
        return windows;
    }

    // A handle on the vault volume, as a program with a file open on S:.
    HANDLE HoldVolume(DWORD share)
    {
        HANDLE volume = CreateFileW(L"\\\\.\\S:", GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(volume, INVALID_HANDLE_VALUE);
        return volume;
    }

    std::set<std::string> m_Classes;
};

TEST_F(CloseVaultTest, ExplorerWindowsOnSOrWithoutAnAddressAreAskedToClose)
{
    MakeWindow(L"Progman", nullptr);
    struct Case {
        const char* label;
        const wchar_t* className;
        const wchar_t* firstChild;  // nullptr: none
        const wchar_t* address;
        bool closed;
    };
    const Case cases[] = {
        {"a folder on S:", L"CabinetWClass", L"Edit", L"S:\\其它", true},
        {"the root of s:, another letter case", L"cabinetwclass", L"Edit", L"s:\\", true},
        {"a folder on C:", L"ExploreWClass", L"Edit", L"C:\\Users", false},
        {"no address to read", L"CabinetWClass", nullptr, L"", true},
        {"an address field that is not the first child", L"CabinetWClass", L"Static", L"C:\\", true},
        {"a class that only begins like Explorer's", L"CabinetWClassNew", L"Edit", L"S:\\", true},
        {"not an Explorer window", L"Notepad", L"Edit", L"S:\\readme.txt", false},
        {"an address in an extended combo box", L"CabinetWClass", L"ComboBoxEx32", L"C:\\Windows", false},
    };
    std::vector<HWND> windows;
    for (const Case& c : cases) {
        HWND window = MakeWindow(c.className, nullptr);
        if (c.firstChild != nullptr) {
            MakeWindow(c.firstChild, window, c.address);
            if (Narrow(c.firstChild) == "Static") {
                // The address field comes second, where the reader does not look.
                MakeWindow(L"Edit", window, c.address);
            }
        }
        windows.push_back(window);
    }
    EXPECT_TRUE(tessaly::CloseVaultWindows());
    const std::set<HWND> asked = AskedToClose();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].label);
        EXPECT_EQ(asked.count(windows[i]), cases[i].closed ? 1u : 0u);
    }
}

TEST_F(CloseVaultTest, NoExplorerWindowOnSMeansNothingIsPosted)
{
    MakeWindow(L"Progman", nullptr);
    HWND onC = MakeWindow(L"CabinetWClass", nullptr);
    MakeWindow(L"Edit", onC, L"C:\\");
    EXPECT_FALSE(tessaly::CloseVaultWindows());
    EXPECT_TRUE(AskedToClose().empty());
}

TEST_F(CloseVaultTest, WithoutAVaultTheButtonDoesNothing)
{
    m_Main->List1().Add(u"C:\\autorun.inf\\a.sec，保险柜容量:8M，盘符:S:");
    m_Main->OnEvent(IDC_COMMAND3, FormEvent::Click, {});
    EXPECT_TRUE(m_Ui.messages.empty());
    EXPECT_EQ(m_Main->List1().Count(), 1);
    EXPECT_EQ(U8(m_Main->List1().Item(0)), "C:\\autorun.inf\\a.sec，保险柜容量:8M，盘符:S:");
}

TEST_F(CloseVaultTest, AClosedVaultLosesItsMarkOnTheFirstLineOnly)
{
    struct Case {
        const char* label;
        std::vector<const char16_t*> before;
        std::vector<std::string> after;
    };
    const Case cases[] = {
        {"marked first line, other lines dropped",
         {u"C:\\autorun.inf\\v.sec，保险柜容量:8M，盘符:S:", u"C:\\autorun.inf\\w.sec，保险柜容量:1G"},
         {"C:\\autorun.inf\\v.sec，保险柜容量:8M"}},
        {"the mark on a later line",
         {u"C:\\autorun.inf\\w.sec，保险柜容量:1G", u"C:\\autorun.inf\\v.sec，保险柜容量:8M，盘符:S:"},
         {"C:\\autorun.inf\\w.sec，保险柜容量:1G", "C:\\autorun.inf\\v.sec，保险柜容量:8M，盘符:S:"}},
        {"an empty list", {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"pw", 8));
        ASSERT_TRUE(tessaly::VaultDriveIsOpen());
        m_Main->List1().Clear();
        for (const char16_t* line : c.before) {
            m_Main->List1().Add(line);
        }
        m_Ui.messages.clear();
        m_Main->OnEvent(IDC_COMMAND3, FormEvent::Click, {});
        EXPECT_FALSE(tessaly::VaultDriveIsOpen());
        EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{kClosed});
        std::vector<std::string> after;
        for (const tessaly::Text& line : m_Main->List1().Items()) {
            after.push_back(U8(line));
        }
        EXPECT_EQ(after, c.after);
    }
}

TEST_F(CloseVaultTest, AVolumeInUseMakesTheGentleCallFailAndTheForcedOneDecide)
{
    struct Case {
        const char* label;
        DWORD share;  // of the other program's handle on S:
        bool closed;
    };
    const Case cases[] = {
        {"shared: the forced call takes the volume", FILE_SHARE_READ | FILE_SHARE_WRITE, true},
        {"exclusive: neither call can open it", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(MountVault("autorun.inf\\v.sec", u"pw", 8));
        m_Main->List1().Clear();
        m_Main->List1().Add(u"C:\\autorun.inf\\v.sec，保险柜容量:8M，盘符:S:");
        m_Ui.messages.clear();
        HANDLE other = HoldVolume(c.share);
        m_Main->OnEvent(IDC_COMMAND3, FormEvent::Click, {});
        CloseHandle(other);
        EXPECT_EQ(m_Ui.MessageTexts(), std::vector<std::string>{c.closed ? kClosed : kInUse});
        EXPECT_EQ(tessaly::VaultDriveIsOpen(), !c.closed);
        EXPECT_EQ(U8(m_Main->List1().Item(0)),
                  c.closed ? "C:\\autorun.inf\\v.sec，保险柜容量:8M" : "C:\\autorun.inf\\v.sec，保险柜容量:8M，盘符:S:");
        m_Manager->pellix.SysDiskUnMountEx(u"S", 1);
    }
}

}  // namespace
}  // namespace korvel::test
