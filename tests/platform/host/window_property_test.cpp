// Window properties: names without regard to case, atoms, removal, and a
// property the system cannot store.
#include "desktop_fixture.h"

#include <host/user32_hooks.h>

namespace {

using korvel::test::kUntouchedError;

HANDLE Data(ULONG_PTR value)
{
    return reinterpret_cast<HANDLE>(value);
}

class WindowPropertyTest : public korvel::test::DesktopTest {};

TEST_F(WindowPropertyTest, NamesCompareWithoutCase)
{
    HWND window = CreateTopLevel();
    HWND other = CreateTopLevel();
    ASSERT_TRUE(SetPropW(other, L"OldWndProc", Data(0x9999)));

    enum class Call { Set, Get, Remove };
    struct Step {
        const char* label;
        Call call;
        LPCWSTR name;
        HANDLE data;    // to store, for Set
        HANDLE result;  // for Get and Remove
    };
    const LPCWSTR atom123 = reinterpret_cast<LPCWSTR>(ULONG_PTR{123});
    const Step steps[] = {
        {"nothing stored yet", Call::Get, L"OldWndProc", nullptr, nullptr},
        {"store", Call::Set, L"OldWndProc", Data(0x1111), nullptr},
        {"read in lower case", Call::Get, L"oldwndproc", nullptr, Data(0x1111)},
        {"read in upper case", Call::Get, L"OLDWNDPROC", nullptr, Data(0x1111)},
        {"store again, other case: replaces", Call::Set, L"OLDWNDPROC", Data(0x2222), nullptr},
        {"read the replacement", Call::Get, L"OldWndProc", nullptr, Data(0x2222)},
        {"another name", Call::Get, L"OldWndProc2", nullptr, nullptr},
        {"remove answers the data", Call::Remove, L"oldWndProc", nullptr, Data(0x2222)},
        {"gone after removal", Call::Get, L"OldWndProc", nullptr, nullptr},
        {"removing twice", Call::Remove, L"OldWndProc", nullptr, nullptr},
        {"an atom", Call::Set, atom123, Data(0x3333), nullptr},
        {"the atom's string", Call::Get, L"#123", nullptr, Data(0x3333)},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        switch (step.call) {
        case Call::Set:
            EXPECT_TRUE(SetPropW(window, step.name, step.data));
            break;
        case Call::Get:
            EXPECT_EQ(GetPropW(window, step.name), step.result);
            break;
        case Call::Remove:
            EXPECT_EQ(RemovePropW(window, step.name), step.result);
            break;
        }
    }
    // Each window has its own.
    EXPECT_EQ(GetPropW(other, L"OldWndProc"), Data(0x9999));
}

TEST_F(WindowPropertyTest, StoringCanFail)
{
    HWND window = CreateTopLevel();
    host::FailSetProps(2);
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(testing::Message() << "failing attempt " << attempt);
        SetLastError(kUntouchedError);
        EXPECT_FALSE(SetPropW(window, L"OldWndProc", Data(0x1111)));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
        EXPECT_EQ(GetPropW(window, L"OldWndProc"), nullptr);
    }
    EXPECT_TRUE(SetPropW(window, L"OldWndProc", Data(0x1111)));
    EXPECT_EQ(GetPropW(window, L"OldWndProc"), Data(0x1111));
}

TEST_F(WindowPropertyTest, ADestroyedWindowHasNone)
{
    HWND window = CreateTopLevel();
    ASSERT_TRUE(SetPropW(window, L"OldWndProc", Data(0x1111)));
    ASSERT_TRUE(DestroyWindow(window));
    SetLastError(kUntouchedError);
    EXPECT_FALSE(SetPropW(window, L"OldWndProc", Data(0x2222)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(kUntouchedError);
    EXPECT_EQ(GetPropW(window, L"OldWndProc"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(RemovePropW(window, L"OldWndProc"), nullptr);
}

}  // namespace
