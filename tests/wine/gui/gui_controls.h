// Controls of a dialog in another process: buttons, edit boxes, list boxes.
// Each action goes the way a person's would reach the program: a button
// click through BM_CLICK or real mouse input, a list selection with the
// notification a click sends, a double-click as real mouse input.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace gui {

// The dialog's control, or a failure that names the missing id.
::testing::AssertionResult FindControl(HWND dialog, int id, HWND& control);

// BM_CLICK: the button presses and releases itself and its parent gets
// BN_CLICKED. An owner-drawn button that handles the mouse itself sees the
// same mouse-down and mouse-up.
::testing::AssertionResult ClickButton(HWND dialog, int id);
// Real mouse input at the control's centre: for programs that react to the
// mouse rather than to BN_CLICKED. The control must be uncovered.
::testing::AssertionResult ClickWithMouse(HWND dialog, int id);

// WM_SETTEXT, after which the edit box tells its parent EN_CHANGE.
::testing::AssertionResult SetControlText(HWND dialog, int id, const std::wstring& text);
std::wstring ControlText(HWND dialog, int id);

// A list box's items (LB_GETCOUNT, LB_GETTEXT) and its selection (LB_GETCURSEL,
// -1 for none).
std::vector<std::wstring> ListBoxItems(HWND dialog, int id);
int ListBoxSelection(HWND dialog, int id);
// Selects an item and tells the parent LBN_SELCHANGE, as a click would.
::testing::AssertionResult SelectListItem(HWND dialog, int id, int index);
// Double-clicks the item with real mouse input: the program sees the
// selection change and LBN_DBLCLK from the list box itself.
::testing::AssertionResult DoubleClickListItem(HWND dialog, int id, int index);

}  // namespace gui
