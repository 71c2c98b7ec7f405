#pragma once
// Resource and control ids of the mail export window, shared by res/export.rc and the
// window code.

#define IDD_EXPORT 1010

#define IDC_EXP_FOLDERS 10100
#define IDC_EXP_TARGET 10101
#define IDC_EXP_BROWSE 10102
#define IDC_EXP_EML 10103
#define IDC_EXP_MBOX 10104
#define IDC_EXP_STATUS 10105
#define IDC_EXP_PROGRESS 10106
#define IDC_EXP_SUMMARY 10107
