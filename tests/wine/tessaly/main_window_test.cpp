// The real manager at start: its main window and list, the Run value, the
// driver service it starts, a second start, "/h", closing that only hides,
// and exit.
#include "tessaly_fixture.h"

#include "../../../manager/shell/resource.h"
#include "wine_support.h"

namespace tessaly_wine {
namespace {

TEST_F(TessalyTest, TheMainWindowListsTheVaultAndTheStartRegistersTheManager)
{
    DeleteRunValue();
    StartManager();
    const std::vector<std::wstring> lines = gui::ListBoxItems(m_Main, IDC_LIST1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(gui::Utf8(lines[0]), "C:\\autorun.inf\\工作.sec，保险柜容量:8M");
    for (int id : {IDC_COMMAND1, IDC_COMMAND2, IDC_COMMAND3, IDC_COMMAND4}) {
        HWND button = nullptr;
        EXPECT_TRUE(gui::FindControl(m_Main, id, button));
    }
    EXPECT_EQ(gui::Utf8(gui::ControlText(m_Main, IDC_COMMAND1)), "新建密盘");
    EXPECT_EQ(gui::Utf8(gui::ControlText(m_Main, IDC_COMMAND4)), "高级设置");
    // The client area is 414 x 222 pixels at 96 dpi.
    RECT client{};
    GetClientRect(m_Main, &client);
    EXPECT_EQ(client.right, 414);
    EXPECT_EQ(client.bottom, 222);
    Screenshot("main-window");

    EXPECT_EQ(RunValue(), std::optional<std::wstring>(L"C:\\Software\\tessaly.exe /h"));
    wt::ServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    ASSERT_TRUE(manager.Valid());
    wt::ServiceHandle service(OpenServiceW(manager.Get(), L"Vantor", SERVICE_QUERY_STATUS));
    ASSERT_TRUE(service.Valid()) << "the manager installs the driver service";
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service.Get(), &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(TessalyTest, ASecondStartEndsWithoutAWindow)
{
    StartManager();
    gui::Program second;
    ASSERT_TRUE(gui::Program::Start(kProgram, {}, second));
    ASSERT_TRUE(second.WaitForExit(10000));
    EXPECT_EQ(second.ExitCode(), std::optional<DWORD>(0));
    gui::WindowQuery query{std::nullopt, std::nullopt, second.Id()};
    query.visibleOnly = false;
    EXPECT_TRUE(gui::TopLevelWindows(query).empty());
    EXPECT_TRUE(m_Manager.Running()) << "the first manager runs on";
    wt::WineNote("the second start asked the shell to open S:, which Wine has no drive for");
}

TEST_F(TessalyTest, StartedHiddenTheManagerShowsOnALeftClickOnItsTrayIcon)
{
    StartManager({L"/h"}, true);
    EXPECT_FALSE(IsWindowVisible(m_Main));
    Screenshot("started-hidden");
    ASSERT_TRUE(gui::PostTrayCallback(m_Main, WM_MOUSEMOVE, 1, WM_LBUTTONDOWN));
    EXPECT_TRUE(gui::WaitFor([&] { return IsWindowVisible(m_Main) != FALSE; }));
}

TEST_F(TessalyTest, TheCloseBoxOnlyHidesTheWindow)
{
    StartManager();
    PostMessageW(m_Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(gui::WaitForWindowGone(m_Main));
    EXPECT_TRUE(m_Manager.Running());
    EXPECT_TRUE(IsWindow(m_Main));
    // Shown again from the tray, the next close hides it again.
    ASSERT_TRUE(gui::PostTrayCallback(m_Main, WM_MOUSEMOVE, 1, WM_LBUTTONDOWN));
    ASSERT_TRUE(gui::WaitFor([&] { return IsWindowVisible(m_Main) != FALSE; }));
    PostMessageW(m_Main, WM_CLOSE, 0, 0);
    EXPECT_TRUE(gui::WaitForWindowGone(m_Main));
    Sleep(300);
    EXPECT_TRUE(m_Manager.Running());
}

TEST_F(TessalyTest, ExitEndsTheProcess)
{
    StartManager();
    ExitThroughMenu();
    EXPECT_EQ(m_Manager.ExitCode(), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tessaly_wine
