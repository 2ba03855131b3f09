// How the harness reads a pop-up menu of another process. Menus live in the
// memory of the process that made them (under Wine 8, GetMenuItemInfoW and
// GetMenuStringW on another process's menu fail with error 1456), so the
// harness puts a small DLL into the menu's thread with a WH_CALLWNDPROC hook,
// sends the menu window the message below, and the hook copies the items
// into a shared memory block that the harness created.
#pragma once

#include <windows.h>

#define KORVEL_MENU_READER_DLL L"korvel_gui_menu_reader.dll"
#define KORVEL_MENU_READER_HOOK "KorvelMenuReaderHook"
// Registered with RegisterWindowMessageW. wParam: the menu (MN_GETHMENU's
// answer); lParam: the block's number, which names the block.
#define KORVEL_MENU_READER_MESSAGE L"KorvelMenuReaderReadMenu"
// Followed by the block's number in decimal.
#define KORVEL_MENU_READER_BLOCK_PREFIX L"KorvelMenuReaderBlock-"

#define KORVEL_MENU_READER_MAX_ITEMS 64
#define KORVEL_MENU_READER_TEXT_CHARS 256

struct KorvelMenuReaderItem {
    UINT type;   // MENUITEMINFOW.fType
    UINT state;  // MENUITEMINFOW.fState
    UINT id;
    BOOL hasSubmenu;
    WCHAR text[KORVEL_MENU_READER_TEXT_CHARS];
};

struct KorvelMenuReaderBlock {
    LONG done;   // set last, by the hook
    LONG error;  // a Win32 error when the menu could not be read
    LONG count;  // items in the menu; at most KORVEL_MENU_READER_MAX_ITEMS are copied
    KorvelMenuReaderItem items[KORVEL_MENU_READER_MAX_ITEMS];
};
