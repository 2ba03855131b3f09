// Resource ids of the vault manager, shared by its dialogs' code and its
// resource script.
#pragma once

// Icons.
#define IDI_TESSALY 101

// Dialogs.
#define IDD_MAIN 200
#define IDD_README 201
#define IDD_BACKUP 202
#define IDD_CREATE 203
#define IDD_OPEN 204
#define IDD_PASSWORD 205

// Controls. Each dialog numbers its own; the same name means the same role.
#define IDC_LIST1 1001
#define IDC_COMMAND1 1011
#define IDC_COMMAND2 1012
#define IDC_COMMAND3 1013
#define IDC_COMMAND4 1014
#define IDC_IMAGE1 1020
#define IDC_IMAGE2 1021
#define IDC_IMAGE3 1022
#define IDC_LABEL1 1031
#define IDC_LABEL2 1032
#define IDC_LABEL3 1033
#define IDC_LABEL4 1034
#define IDC_LABEL5 1035
#define IDC_LABEL6 1036
#define IDC_LABEL7 1037
#define IDC_LABEL8 1038
#define IDC_LABEL9 1039
#define IDC_COMBO1 1041
#define IDC_TXTNAME 1042
#define IDC_TXTSIZE 1043
#define IDC_TXTPASSWORD 1044
#define IDC_PASSWORD 1045
#define IDC_TXTPWD2 1046
#define IDC_TXTPWD3 1047

// Commands of the pop-up menu.
#define IDM_CLOSE_MENU 2001
#define IDM_OPEN 2002
#define IDM_PASSWORD 2003
#define IDM_BACKUP 2004
#define IDM_UNINSTALL 2005
#define IDM_README 2006
#define IDM_EXIT 2007
