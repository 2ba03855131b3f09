// Message boxes of a program under test, read and answered as a person
// would: the caption, the text and the buttons as they are shown.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_wait.h"

namespace gui {

struct MessageBoxButton {
    int id = 0;  // IDOK, IDCANCEL, ...
    std::wstring text;
};

struct MessageBoxView {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
    // The buttons shown, from left to right. Wine builds every message box
    // from one template and hides the buttons it does not need, so only the
    // visible ones count.
    std::vector<MessageBoxButton> buttons;

    std::vector<int> ButtonIds() const;
};

// Reads a message box: a dialog (class "#32770") whose text is the static
// control with id 0xFFFF, as Windows and Wine build them. Nothing when the
// window is not one.
std::optional<MessageBoxView> ReadMessageBox(HWND window);
// Polls for a visible message box of the process.
std::optional<MessageBoxView> WaitForMessageBox(DWORD processId, DWORD timeoutMs = kDefaultTimeoutMs);
// Clicks the button with that id and waits for the box to close.
::testing::AssertionResult AnswerMessageBox(const MessageBoxView& box, int buttonId);

}  // namespace gui
