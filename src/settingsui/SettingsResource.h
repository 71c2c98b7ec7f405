#pragma once
// Resource and control ids of Frmsettings, shared by res/settings.rc and the window code.

#define IDD_SETTINGS 810
#define IDD_SETTINGS_GENERAL 811
#define IDD_SETTINGS_BACKUP 812
#define IDD_SETTINGS_SCHEDULED 813

#define IDC_SET_SSTAB1 8100
#define IDC_SET_CHECK1 8101  // to IDC_SET_CHECK1 + 7: Check1 to Check8
#define IDC_SET_TEXT1 8110
#define IDC_SET_COMMAND1 8111  // the folder button
#define IDC_SET_OPTION1 8112
#define IDC_SET_OPTION2 8113
