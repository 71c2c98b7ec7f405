#pragma once
// The backup a scheduled task starts: the window stays hidden, nothing is ever shown, the
// log tells what happened and the exit code tells the Task Scheduler.

namespace quarnel::backup {

enum UnattendedExitCode {
  kUnattendedCompleted = 0,        // written (and checked, when the settings ask), every item backed up
  kUnattendedItemsFailed = 1,      // written, but at least one chosen item could not be backed up
  kUnattendedNotCompleted = 2,     // the backup file could not be written or did not pass its check
  kUnattendedUnusableCommand = 3,  // the command line names no identity, items or file: nothing done
};

}  // namespace quarnel::backup
