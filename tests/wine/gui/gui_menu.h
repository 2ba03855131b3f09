// Pop-up menus (tray menus, context menus) of a program under test: find
// the open one, read its items, choose one with the keyboard as a person
// would.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gui_wait.h"

namespace gui {

struct MenuItem {
    UINT id = 0;
    std::wstring text;  // as stored, "&" marks included
    bool separator = false;
    bool grayed = false;
    bool checked = false;
    bool hasSubmenu = false;
    bool highlighted = false;  // the item the keyboard or the pointer selected

    // The text as shown: "&" marks removed ("&&" is a shown "&"), the
    // accelerator text after a tab cut off.
    std::wstring ShownText() const;
};

// The open pop-up menu window (class "#32768"), or nullptr.
HWND FindPopupMenu();
HWND WaitForPopupMenu(DWORD timeoutMs = kDefaultTimeoutMs);
bool WaitForPopupMenuGone(DWORD timeoutMs = kDefaultTimeoutMs);

// Every item of the menu shown in the window, separators included, read
// through MN_GETHMENU and, inside the menu's own process, GetMenuItemInfoW.
::testing::AssertionResult ReadPopupMenu(HWND menuWindow, std::vector<MenuItem>& items);

// Chooses the item at `position` with the arrow keys and Enter, as a person
// would: Down, look where the highlight went, Down again until it is on the
// item, then Enter. Each Down goes to the next item that is not a separator
// (grayed ones included, as in Windows); a key that the menu has not taken
// yet, or a highlight left by the pointer, therefore cannot make Enter land
// on another item.
::testing::AssertionResult ChooseMenuItemAt(HWND menuWindow, size_t position);
// Reads the menu and chooses the item whose stored or shown text is `text`.
// Refuses a grayed item, which Enter would not choose.
::testing::AssertionResult ChooseMenuItem(HWND menuWindow, const std::wstring& text);
// Closes the menu with Escape, choosing nothing.
::testing::AssertionResult DismissMenu(HWND menuWindow);

}  // namespace gui
