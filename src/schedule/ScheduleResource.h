#pragma once
// Resource and control ids of Frmoption, shared by res/schedule.rc and the window code.

#define IDD_TASKSCHEDULER 710

#define IDC_SCH_INTRO 7100
#define IDC_SCH_CBSOURCE 7101
#define IDC_SCH_ITEMFRAME 7102
#define IDC_SCH_TXTTARGETFILE 7103
#define IDC_SCH_CMDTARGETFILE 7104
#define IDC_SCH_IFPROTECT 7105
#define IDC_SCH_TXTPASSWORD 7106
#define IDC_SCH_TXTPASSWORD2 7107
#define IDC_SCH_CMBSTARTTIME 7108
#define IDC_SCH_CHKDAILY 7109
#define IDC_SCH_COMMAND3 7110  // Add Task to Scheduler
#define IDC_SCH_COMMAND1 7111  // Disable Task
#define IDC_SCH_BACKUPITEM0 7120  // to IDC_SCH_BACKUPITEM0 + 7, in item order
#define IDC_SCH_CHKMONDAY 7130  // to IDC_SCH_CHKMONDAY + 6, Monday to Sunday
