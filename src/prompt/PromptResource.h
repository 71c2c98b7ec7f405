#pragma once
// Resource and control ids of frmPwd, shared by res/prompt.rc and the window code.

#define IDD_PASSWORD 910

#define IDC_PWD_FRAME 9100
#define IDC_PWD_LABEL 9101
#define IDC_PWD_TXTPASSWORD 9102
