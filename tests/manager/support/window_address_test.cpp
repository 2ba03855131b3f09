// The window address reader: down the first children to an edit field or an
// extended combo box, and that control's text.
#include "support/explorer_address.h"
#include "scripted_ui.h"
#include "support/window_address.h"

#include <host/user32_hooks.h>

#include <gtest/gtest.h>

#include <string>

namespace korvel::test {
namespace {

class WindowAddressTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host::ResetDesktop();
        for (const wchar_t* name : {L"ExplorerTest", L"WorkerW", L"ReBarWindow32"}) {
            Register(name);
        }
        m_Top = Make(L"ExplorerTest", nullptr);
    }

    static void Register(const wchar_t* name)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.lpszClassName = name;
        RegisterClassW(&windowClass);
    }
    void TearDown() override { host::ResetDesktop(); }

    static HWND Make(const wchar_t* className, HWND parent, const std::u16string& text = u"")
    {
        HWND window = CreateWindowExW(0, className, reinterpret_cast<LPCWSTR>(text.c_str()),
                                      parent != nullptr ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, parent,
                                      nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr);
        return window;
    }

    HWND m_Top = nullptr;
};

TEST_F(WindowAddressTest, AWindowWithoutChildrenHasNoAddress)
{
    EXPECT_EQ(U8(tessaly::GetWindowAddress(m_Top)), "");
}

TEST_F(WindowAddressTest, AnEditFieldAsTheFirstChildGivesItsTextUpTo255Characters)
{
    const std::u16string longText = u"S:\\" + std::u16string(297, u'长');
    HWND edit = Make(L"Edit", m_Top, u"S:\\其它");
    EXPECT_EQ(U8(tessaly::GetWindowAddress(m_Top)), "S:\\其它");
    SetWindowTextW(edit, reinterpret_cast<LPCWSTR>(longText.c_str()));
    EXPECT_EQ(tessaly::GetWindowAddress(m_Top), longText.substr(0, 255));
}

TEST_F(WindowAddressTest, OnlyTheFirstChildOfEachLevelIsFollowed)
{
    struct Case {
        const char* label;
        bool editSecond;
        bool deeperCombo;
        bool lowerCaseEdit;
        const char* address;
    };
    const Case cases[] = {
        {"an edit field as the second child", true, false, false, ""},
        {"an extended combo box further down the first children", false, true, false, "C:\\Windows"},
        {"a class named edit in lower case does not end the walk", false, false, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ResetDesktop();
        for (const wchar_t* name : {L"ExplorerTest", L"WorkerW", L"ReBarWindow32"}) {
            Register(name);
        }
        HWND top = Make(L"ExplorerTest", nullptr);
        if (c.editSecond) {
            Make(L"WorkerW", top);
            Make(L"Edit", top, u"S:\\");
        }
        if (c.deeperCombo) {
            HWND worker = Make(L"WorkerW", top);
            HWND rebar = Make(L"ReBarWindow32", worker);
            Make(L"ComboBoxEx32", rebar, u"C:\\Windows");
            Make(L"Edit", top, u"S:\\");
        }
        if (c.lowerCaseEdit) {
            // A class of our own whose name differs from "Edit" in case only;
            // it stands in for the system's class in this test alone.
            Register(L"edit");
            Make(L"edit", top, u"S:\\");
        }
        EXPECT_EQ(U8(tessaly::GetWindowAddress(top)), c.address);
    }
}

TEST_F(WindowAddressTest, WithoutTheShellsWindowListTheAddressFieldDecides)
{
    // The host has no shell and so no window list to ask.
    Make(L"Edit", m_Top, u"S:\\文档");
    EXPECT_EQ(U8(tessaly::FolderFromShellWindows(m_Top)), "");
    EXPECT_EQ(U8(tessaly::ExplorerWindowAddress(m_Top)), "S:\\文档");
}

TEST_F(WindowAddressTest, AVanishedWindowHasNoAddress)
{
    HWND gone = Make(L"ExplorerTest", nullptr);
    DestroyWindow(gone);
    EXPECT_EQ(U8(tessaly::GetWindowAddress(gone)), "");
}

}  // namespace
}  // namespace korvel::test
