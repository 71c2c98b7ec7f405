#pragma once
// The jobs and dialogs the main window starts. Each lives with its subsystem.
#include "app/MainState.h"
#include "app/MainView.h"

namespace quarnel::app {

void RunBackupJob(MainState& state, MainView& view);        // backup page, File > Backup Now
void RunRestoreJob(MainState& state, MainView& view);       // restore page, File > Restore Now
// A non-empty command line; gives the process's exit code (0: the backup was completed).
int RunUnattendedBackup(MainState& state, MainView& view);
void ChooseTargetFile(MainState& state, MainView& view);    // cmdTargetFile
void OpenBackupFile(MainState& state, MainView& view);      // cmdSourceFile

}  // namespace quarnel::app
