// The window address reader on the window manager of Wine, on windows this
// test makes: an edit field as the first child, as the second child, and a
// class named "edit".
#include "support/window_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class WindowAddressWineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Register(L"KorvelExplorerTest");
        m_Top = CreateWindowExW(0, L"KorvelExplorerTest", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_Top, nullptr);
    }
    void TearDown() override { DestroyWindow(m_Top); }

    static void Register(const wchar_t* name)
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = name;
        RegisterClassW(&windowClass);
    }

    HWND Child(const wchar_t* className, const wchar_t* text)
    {
        HWND child = CreateWindowExW(0, className, text, WS_CHILD, 0, 0, 100, 20, m_Top, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(child, nullptr);
        return child;
    }

    HWND m_Top = nullptr;
};

std::string Utf8(const std::u16string& text)
{
    std::string out;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(text.c_str()),
                                          static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(text.c_str()), static_cast<int>(text.size()),
                        out.data(), bytes, nullptr, nullptr);
    return out;
}

TEST_F(WindowAddressWineTest, NoChildrenNoAddress)
{
    EXPECT_EQ(Utf8(tessaly::GetWindowAddress(m_Top)), "");
}

TEST_F(WindowAddressWineTest, AnEditFieldAsTheFirstChild)
{
    Child(L"Edit", L"S:\\其它");
    EXPECT_EQ(Utf8(tessaly::GetWindowAddress(m_Top)), "S:\\其它");
}

TEST_F(WindowAddressWineTest, AnEditFieldAsTheSecondChildIsNotFound)
{
    Child(L"Static", L"label");
    Child(L"Edit", L"S:\\");
    EXPECT_EQ(Utf8(tessaly::GetWindowAddress(m_Top)), "");
}

TEST_F(WindowAddressWineTest, AClassNamedEditInLowerCaseDoesNotEndTheWalk)
{
    // A class of this program's own, named like the system's edit class but
    // for the case; it would stand in for that class in this program, so it
    // goes again afterwards.
    Register(L"edit");
    Child(L"edit", L"S:\\");
    EXPECT_EQ(Utf8(tessaly::GetWindowAddress(m_Top)), "");
    DestroyWindow(m_Top);
    m_Top = nullptr;
    UnregisterClassW(L"edit", GetModuleHandleW(nullptr));
}

}  // namespace
