// Real input through SendInput: it enters the desktop's input queue as a
// person's mouse and keyboard would, so the program under test sees mouse
// down and up, double-clicks and key presses in their usual order. (Key
// chords that must pass through X, such as a RegisterHotKey chord, are in
// gui_desktop.h.)
#pragma once

#include <windows.h>

#include <initializer_list>

#include <gtest/gtest.h>

namespace gui {

POINT CenterOf(const RECT& rect);
::testing::AssertionResult MoveMouseTo(POINT screen);
::testing::AssertionResult ClickAt(POINT screen);
::testing::AssertionResult DoubleClickAt(POINT screen);
// Presses and releases each key in turn.
::testing::AssertionResult PressKeys(std::initializer_list<WORD> virtualKeys);

}  // namespace gui
