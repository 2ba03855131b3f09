// What only the X side of the desktop can do, asked of the run script's
// request service (tools/lib/gui.sh): a key chord through X, as a keyboard
// would give it (RegisterHotKey chords fire only that way), and a screenshot
// of the whole screen. The service's folder comes in KORVEL_GUI_REQUESTS.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

namespace gui {

// The request folder as a Windows path, or empty when the test program was
// started without the service.
std::wstring RequestFolder();

// `chord` in xdotool's names, e.g. "ctrl+alt+y".
::testing::AssertionResult PressChordThroughX(const std::string& chord, DWORD timeoutMs = 10000);
// Makes drive `letter` (D to Y) a fixed drive of the prefix whose root is
// an empty scratch folder, as a second hard disk would be, or takes it away
// again. Wine reads its drives from the prefix's dosdevices folder, which
// only the Unix side can change.
::testing::AssertionResult MapDriveToScratchFolder(char letter, bool mapped, DWORD timeoutMs = 10000);
// Saves the screen as <name>.png in the folder the run script gave; `name`
// says what the picture shows (letters, digits, '-', '_', '.').
::testing::AssertionResult SaveScreenshot(const std::string& name, DWORD timeoutMs = 20000);

}  // namespace gui
