#include "gui_input.h"

#include <vector>

#include "gui_wait.h"

namespace gui {
namespace {

::testing::AssertionResult Send(std::vector<INPUT>& inputs)
{
    const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size()) {
        return ::testing::AssertionFailure() << "SendInput took " << sent << " of " << inputs.size()
                                             << " events, error " << GetLastError();
    }
    return ::testing::AssertionSuccess();
}

// Absolute positions are in 1/65536 of the primary screen. Aiming at the
// middle of the pixel lands on it whether the scale divides by 65535 or 65536.
LONG Normalized(LONG pixel, int screenSize)
{
    return static_cast<LONG>((static_cast<LONGLONG>(2 * pixel + 1) * 65536) / (2 * screenSize));
}

INPUT MouseEvent(DWORD flags, POINT screen)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalized(screen.x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = Normalized(screen.y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
    return input;
}

// Moves the pointer, then presses and releases the left button `count`
// times where it now is.
::testing::AssertionResult ClickRepeatedly(POINT screen, int count)
{
    if (auto moved = MoveMouseTo(screen); !moved) {
        return moved;
    }
    // Each button event carries the position too: a late pointer report
    // from X must not move the click somewhere else.
    std::vector<INPUT> inputs;
    for (int i = 0; i < count; ++i) {
        inputs.push_back(MouseEvent(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTDOWN, screen));
        inputs.push_back(MouseEvent(MOUSEEVENTF_MOVE | MOUSEEVENTF_LEFTUP, screen));
    }
    return Send(inputs);
}

}  // namespace

POINT CenterOf(const RECT& rect)
{
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

::testing::AssertionResult MoveMouseTo(POINT screen)
{
    std::vector<INPUT> inputs{MouseEvent(MOUSEEVENTF_MOVE, screen)};
    if (auto sent = Send(inputs); !sent) {
        return sent;
    }
    // Under Wine the pointer reaches its place a little later, through X;
    // button events sent before that would land where it was.
    POINT at{};
    if (!WaitFor([&] { return GetCursorPos(&at) && at.x == screen.x && at.y == screen.y; }, 2000)) {
        return ::testing::AssertionFailure() << "the pointer went to (" << at.x << ", " << at.y << "), not to ("
                                             << screen.x << ", " << screen.y << ")";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ClickAt(POINT screen)
{
    return ClickRepeatedly(screen, 1);
}

::testing::AssertionResult DoubleClickAt(POINT screen)
{
    // Both clicks in one SendInput call: well within the double-click time.
    return ClickRepeatedly(screen, 2);
}

::testing::AssertionResult PressKeys(std::initializer_list<WORD> virtualKeys)
{
    std::vector<INPUT> inputs;
    for (const WORD key : virtualKeys) {
        INPUT press{};
        press.type = INPUT_KEYBOARD;
        press.ki.wVk = key;
        inputs.push_back(press);
        press.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(press);
    }
    return Send(inputs);
}

}  // namespace gui
