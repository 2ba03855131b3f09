// The GUI harness for Windows test programs: start a program, find its
// windows, read and drive its controls, message boxes, tray icon and menus,
// and ask the X side for key chords and screenshots.
#pragma once

#include "gui_controls.h"
#include "gui_desktop.h"
#include "gui_input.h"
#include "gui_menu.h"
#include "gui_message_box.h"
#include "gui_program.h"
#include "gui_text.h"
#include "gui_tray.h"
#include "gui_wait.h"
#include "gui_windows.h"
