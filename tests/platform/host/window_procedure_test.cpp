// Window procedures: sending to them, replacing one and calling the one it
// replaced, and the window's user data.
#include "desktop_fixture.h"

namespace {

using korvel::test::kUntouchedError;
using korvel::test::Text;

constexpr UINT kHandledBySubclass = WM_APP + 1;
constexpr LRESULT kSubclassAnswer = 7;

// A replacement procedure as the vault manager installs one: it answers one
// message itself and hands every other to the procedure it replaced, which
// it keeps in the window property "OldWndProc".
LRESULT CALLBACK Subclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kHandledBySubclass) {
        return kSubclassAnswer;
    }
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(hwnd, L"OldWndProc"));
    return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

class WindowProcedureTest : public korvel::test::DesktopTest {};

TEST_F(WindowProcedureTest, AReplacedProcedureChainsToTheOldOne)
{
    HWND window = CreateTopLevel(L"main");
    ASSERT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&RecordingProcedure));

    const LONG_PTR old = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Subclass));
    ASSERT_EQ(old, reinterpret_cast<LONG_PTR>(&RecordingProcedure));
    ASSERT_TRUE(SetPropW(window, L"OldWndProc", reinterpret_cast<HANDLE>(old)));
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(Subclass));
    ForgetDelivered();

    struct Case {
        const char* label;
        UINT message;
        LRESULT result;
        bool reachesOldProcedure;
    };
    const Case cases[] = {
        {"answered by the new procedure", kHandledBySubclass, kSubclassAnswer, false},
        {"passed on to the old one", WM_USER + 5, 0, true},
        {"passed on, down to the default procedure", WM_GETTEXTLENGTH, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ForgetDelivered();
        EXPECT_EQ(SendMessageW(window, c.message, 11, 22), c.result);
        const std::vector<korvel::test::Delivered> expected =
            c.reachesOldProcedure ? std::vector<korvel::test::Delivered>{{window, c.message, 11, 22}}
                                  : std::vector<korvel::test::Delivered>{};
        EXPECT_EQ(DeliveredMessages(), expected);
    }

    // Putting the old procedure back answers with the replacement.
    EXPECT_EQ(SetWindowLongPtrW(window, GWLP_WNDPROC, old), reinterpret_cast<LONG_PTR>(Subclass));
    EXPECT_EQ(SendMessageW(window, kHandledBySubclass, 0, 0), 0);
}

TEST_F(WindowProcedureTest, CallWindowProcCallsWhatItIsGiven)
{
    HWND window = CreateTopLevel();
    ForgetDelivered();
    EXPECT_EQ(CallWindowProcW(RecordingProcedure, window, WM_USER, 1, 2), 0);
    EXPECT_EQ(DeliveredMessages(), (std::vector<korvel::test::Delivered>{{window, WM_USER, 1, 2}}));
    EXPECT_EQ(CallWindowProcW(nullptr, window, WM_USER, 1, 2), 0);
    EXPECT_EQ(DeliveredMessages().size(), 1u);
}

TEST_F(WindowProcedureTest, WindowDataKeepsTheLastErrorOnSuccess)
{
    HWND window = CreateTopLevel();
    HWND gone = CreateTopLevel();
    ASSERT_TRUE(DestroyWindow(gone));
    struct Step {
        const char* label;
        bool set;
        HWND window;
        int index;
        LONG_PTR value;
        LONG_PTR result;
        DWORD error;
    };
    // In order. A previous value of 0 is not a failure: the last error stays
    // as the caller left it.
    const Step steps[] = {
        {"read the fresh user data", false, window, GWLP_USERDATA, 0, 0, kUntouchedError},
        {"set it from 0", true, window, GWLP_USERDATA, 0x5A5A, 0, kUntouchedError},
        {"read it back", false, window, GWLP_USERDATA, 0, 0x5A5A, kUntouchedError},
        {"set it back to 0", true, window, GWLP_USERDATA, 0, 0x5A5A, kUntouchedError},
        {"an index this host does not keep", true, window, -16, 1, 0, ERROR_INVALID_INDEX},
        {"reading that index", false, window, -16, 0, 0, ERROR_INVALID_INDEX},
        {"a destroyed window", true, gone, GWLP_USERDATA, 1, 0, ERROR_INVALID_WINDOW_HANDLE},
        {"reading a destroyed window", false, gone, GWLP_WNDPROC, 0, 0, ERROR_INVALID_WINDOW_HANDLE},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.label);
        SetLastError(kUntouchedError);
        const LONG_PTR result = step.set ? SetWindowLongPtrW(step.window, step.index, step.value)
                                         : GetWindowLongPtrW(step.window, step.index);
        EXPECT_EQ(result, step.result);
        EXPECT_EQ(GetLastError(), step.error);
    }
}

TEST_F(WindowProcedureTest, SendMessageToADestroyedWindowFails)
{
    HWND window = CreateTopLevel();
    ASSERT_TRUE(DestroyWindow(window));
    ForgetDelivered();
    SetLastError(kUntouchedError);
    EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_TRUE(DeliveredMessages().empty());
}

}  // namespace
