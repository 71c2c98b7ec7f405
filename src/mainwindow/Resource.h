#pragma once
// Resource and control ids shared by res/quarnel.rc and the window code.

// Icons, menus, accelerators, dialogs.
#define IDI_QUARNEL 100
#define IDR_MAINMENU 101
#define IDR_ACCELERATORS 102
#define IDR_ITEMMENUS 103  // two pop-ups: 0 selectitem, 1 selectitem2

#define IDD_MAIN 200
#define IDD_PAGE_BACKUP 201
#define IDD_PAGE_RESTORE 202
#define IDD_PAGE_LOGS 203
#define IDD_PAGE_ABOUT 204
#define IDD_PROGRESS 205
#define IDD_ABOUT 206

// frmMain, always visible.
#define IDC_SSTAB1 1000
#define IDC_CMDAPPLY 1001
#define IDC_CMDQUIT 1002
#define IDC_CMDABOUT 1003

// Backup page.
#define IDC_CBSOURCE 1100
#define IDC_BACKUPFRAME 1101
#define IDC_TXTTARGETFILE 1102
#define IDC_CMDTARGETFILE 1103
#define IDC_TXTATTACHINFO 1104
#define IDC_IFPROTECT 1105
#define IDC_TXTPASSWORD 1106
#define IDC_TXTPASSWORD2 1107
#define IDC_BACKUPITEM0 1110  // to IDC_BACKUPITEM0 + 7, in item order

// Restore page.
#define IDC_CBTARGET 1200
#define IDC_RESTOREFRAME 1201
#define IDC_TXTSOURCEFILE 1202
#define IDC_CMDSOURCEFILE 1203
#define IDC_TXTFILEINFO 1204
#define IDC_TXTPOBINFO 1205
#define IDC_RESTOREITEM0 1210  // to IDC_RESTOREITEM0 + 7, in item order

// Logs page.
#define IDC_LIST1 1300

// About page.
#define IDC_LBLABOUTTITLE 1400
#define IDC_ABOUTPAGEICON 1401
#define IDC_ABOUTPAGETEXT 1402

// picCon3, the progress panel.
#define IDC_LABEL1 1500
#define IDC_SKINLABEL11 1501
#define IDC_SKINLABEL12 1502
#define IDC_PBSHOW 1503

// About window.
#define IDC_ABOUTICON 1600
#define IDC_ABOUTNAME 1601
#define IDC_ABOUTVERSION 1602
#define IDC_ABOUTTEXT 1603
#define IDC_ABOUTWEBSITE 1604

// Menu commands.
#define IDM_BACKUP 2000
#define IDM_RESTORE 2001
#define IDM_QUIT 2002
#define IDM_EXPORTMAIL 2003
#define IDM_TASKSCHEDULER 2010
#define IDM_SETTINGS 2011
#define IDM_CHECKFORUPDATE 2012
#define IDM_BACKUPTOCD 2020
#define IDM_HELP 2030
#define IDM_WEBSITE 2031
#define IDM_ABOUT 2032
#define IDM_SELECTALLITEMS 2040
#define IDM_UNSELECTALLITEMS 2041
#define IDM_SELECTALLITEMS2 2042
#define IDM_UNSELECTALLITEMS2 2043
#define IDM_NEXTPAGE 2050  // Ctrl+Tab
#define IDM_PREVIOUSPAGE 2051  // Ctrl+Shift+Tab
