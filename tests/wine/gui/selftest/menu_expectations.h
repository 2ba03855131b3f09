// The sample's pop-up menu as the harness must read it, for the tray and
// the hotkey tests.
#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "gui_menu.h"

namespace selftest {

// Checks every item: id, text, separator, grayed.
void ExpectSampleMenu(const std::vector<gui::MenuItem>& items);

}  // namespace selftest
