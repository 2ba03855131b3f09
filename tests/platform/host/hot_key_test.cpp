// Hot keys: one desktop-wide table of combinations, combinations another
// program holds, and WM_HOTKEY when the user presses one.
#include "desktop_fixture.h"

#include <host/user32_hooks.h>

#include <thread>

namespace {

using korvel::test::Delivered;
using korvel::test::kUntouchedError;

constexpr UINT kCtrlAlt = MOD_CONTROL | MOD_ALT;

class HotKeyTest : public korvel::test::DesktopTest {};

TEST_F(HotKeyTest, ACombinationHasOneOwner)
{
    HWND main = CreateTopLevel(L"main");
    HWND other = CreateTopLevel(L"other");
    HWND gone = CreateTopLevel(L"gone");
    ASSERT_TRUE(DestroyWindow(gone));
    host::ReserveHotKeyForAnotherProgram(MOD_CONTROL | MOD_SHIFT, 'S');
    struct Case {
        const char* label;
        HWND window;
        int id;
        UINT modifiers;
        UINT key;
        BOOL result;
        DWORD error;
    };
    // In order: each case sees the keys the ones before registered.
    const Case cases[] = {
        {"a free combination", main, 1, kCtrlAlt, 'Y', TRUE, kUntouchedError},
        {"taken by another window", other, 2, kCtrlAlt, 'Y', FALSE, ERROR_HOTKEY_ALREADY_REGISTERED},
        {"taken, asked without repeats", other, 2, kCtrlAlt | MOD_NOREPEAT, 'Y', FALSE,
         ERROR_HOTKEY_ALREADY_REGISTERED},
        {"taken by the same window under another id", main, 3, kCtrlAlt, 'Y', FALSE, ERROR_HOTKEY_ALREADY_REGISTERED},
        {"the same key with other modifiers", other, 2, MOD_ALT, 'Y', TRUE, kUntouchedError},
        {"held by another program", main, 4, MOD_CONTROL | MOD_SHIFT, 'S', FALSE, ERROR_HOTKEY_ALREADY_REGISTERED},
        {"for the thread, no window", nullptr, 5, MOD_WIN, 'V', TRUE, kUntouchedError},
        {"a destroyed window", gone, 6, MOD_WIN, 'G', FALSE, ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        SetLastError(kUntouchedError);
        EXPECT_EQ(RegisterHotKey(c.window, c.id, c.modifiers, c.key), c.result);
        EXPECT_EQ(GetLastError(), c.error);
    }
}

TEST_F(HotKeyTest, PressingPostsWmHotKey)
{
    HWND main = CreateTopLevel(L"main");
    ASSERT_TRUE(RegisterHotKey(main, 7, kCtrlAlt | MOD_NOREPEAT, 'Y'));
    ASSERT_TRUE(RegisterHotKey(nullptr, 8, MOD_WIN, 'V'));
    host::ReserveHotKeyForAnotherProgram(MOD_CONTROL | MOD_SHIFT, 'S');
    struct Case {
        const char* label;
        UINT modifiers;
        UINT key;
        bool ours;
        HWND hwnd;
        WPARAM id;
    };
    const Case cases[] = {
        {"our window's", kCtrlAlt, 'Y', true, main, 7},
        {"our thread's", MOD_WIN, 'V', true, nullptr, 8},
        {"another program's", MOD_CONTROL | MOD_SHIFT, 'S', false, nullptr, 0},
        {"nobody's", kCtrlAlt, 'Z', false, nullptr, 0},
        {"a registered key with other modifiers", MOD_ALT, 'Y', false, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        host::ClearPostedMessages();
        EXPECT_EQ(host::PressHotKey(c.modifiers, c.key), c.ours);
        const std::vector<MSG> posted = host::PostedMessages();
        if (!c.ours) {
            EXPECT_TRUE(posted.empty());
            continue;
        }
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].hwnd, c.hwnd);
        EXPECT_EQ(posted[0].message, UINT(WM_HOTKEY));
        EXPECT_EQ(posted[0].wParam, c.id);
        // The modifiers as pressed, MOD_NOREPEAT not among them.
        EXPECT_EQ(posted[0].lParam, MAKELPARAM(c.modifiers, c.key));
    }

    // The window's procedure gets it through the message loop.
    host::ClearPostedMessages();
    ForgetDelivered();
    ASSERT_TRUE(host::PressHotKey(kCtrlAlt, 'Y'));
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(DeliveredMessages(),
              (std::vector<Delivered>{{main, WM_HOTKEY, 7, MAKELPARAM(kCtrlAlt, 'Y')}}));
}

TEST_F(HotKeyTest, UnregisteringFreesTheOldestUnderAnId)
{
    HWND main = CreateTopLevel(L"main");
    HWND other = CreateTopLevel(L"other");
    ASSERT_TRUE(RegisterHotKey(main, 1, MOD_ALT, 'A'));
    ASSERT_TRUE(RegisterHotKey(main, 1, MOD_ALT, 'B'));  // a second key under the same id
    struct Step {
        const char* label;
        HWND window;
        int id;
        BOOL result;
        DWORD error;
    };
    const Step steps[] = {
        {"an id never registered", main, 2, FALSE, ERROR_HOTKEY_NOT_REGISTERED},
        {"another window's id", other, 1, FALSE, ERROR_HOTKEY_NOT_REGISTERED},
        {"the older key", main, 1, TRUE, kUntouchedError},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        SetLastError(kUntouchedError);
        EXPECT_EQ(UnregisterHotKey(step.window, step.id), step.result);
        EXPECT_EQ(GetLastError(), step.error);
    }
    EXPECT_FALSE(host::PressHotKey(MOD_ALT, 'A'));
    EXPECT_TRUE(host::PressHotKey(MOD_ALT, 'B'));
    EXPECT_TRUE(RegisterHotKey(other, 1, MOD_ALT, 'A'));
    EXPECT_FALSE(RegisterHotKey(other, 2, MOD_ALT, 'B'));

    EXPECT_TRUE(UnregisterHotKey(main, 1));
    SetLastError(kUntouchedError);
    EXPECT_FALSE(UnregisterHotKey(main, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_HOTKEY_NOT_REGISTERED));
    ASSERT_TRUE(DestroyWindow(main));
    SetLastError(kUntouchedError);
    EXPECT_FALSE(UnregisterHotKey(main, 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(HotKeyTest, OnlyTheWindowsThreadRegistersForIt)
{
    HWND main = CreateTopLevel(L"main");
    BOOL registered = TRUE;
    DWORD error = 0;
    std::thread other([&] {
        registered = RegisterHotKey(main, 1, kCtrlAlt, 'Y');
        error = GetLastError();
    });
    other.join();
    EXPECT_FALSE(registered);
    EXPECT_EQ(error, DWORD(ERROR_WINDOW_OF_OTHER_THREAD));
    EXPECT_FALSE(host::PressHotKey(kCtrlAlt, 'Y'));
}

}  // namespace
