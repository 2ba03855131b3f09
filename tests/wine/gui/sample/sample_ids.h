// Resource and control ids of the sample program, shared by its resource
// script, its code and the self-test that drives it.
#pragma once

#define IDD_SAMPLE 100

#define IDC_VAULT_LIST 1001
#define IDC_NAME_EDIT 1002
#define IDC_ASK_BUTTON 1003
#define IDC_PICTURE_BUTTON 1004
#define IDC_STATUS 1005

#define IDM_OPEN 2001
#define IDM_CLOSE 2002
#define IDM_DISABLED 2003
#define IDM_EXIT 2004

// The tray icon's id and its callback message.
#define SAMPLE_TRAY_ICON_ID 7
#define WM_SAMPLE_TRAY (WM_APP + 1)
#define SAMPLE_HOTKEY_ID 1

// The code the program ends with when its menu's exit item is chosen.
#define SAMPLE_EXIT_CODE 42
