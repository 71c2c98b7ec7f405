#pragma once
// What the log says about the scheduled (unattended) backups. After each such run its
// outcome goes to the Application event log; and since nobody watches those runs, the
// window tells the user, once, of every one that failed or never finished.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::app {

struct ScheduledRun {
  enum class Outcome { Completed, ItemsFailed, NotCompleted, Unfinished };
  Outcome outcome = Outcome::Unfinished;
  std::string started;  // the time stamp of its start record
  std::string identity;
  std::string file;
  std::vector<std::string> failedItems;  // as the log names them: "Rules", "Mails"
  std::string reason;                    // why the backup file was not written, as logged
  std::size_t begin = 0;                 // where its records start in the log, separator included
};

// The scheduled runs that start in the log text from `from` (a record's start) on. A run
// without its closing record before the next scheduled run starts, or before the end, is
// Unfinished. The records of another run that starts in between (a backup or restore made
// in the window) are told apart by its start record.
std::vector<ScheduledRun> ScheduledRuns(std::string_view log, std::size_t from);
// What happened, in one paragraph for the user and the event log.
std::string Describe(const ScheduledRun& run);

std::uint64_t LogSize();  // brlog.dat's size, 0 when there is none
// After an unattended run: one event in the Application event log (source "Quarnel
// Backup"), information when it exited with 0, else an error, telling what the log
// records written since `logSizeBefore` say.
void ReportScheduledRun(int exitCode, std::uint64_t logSizeBefore);
// When the window opens: tells the user of the scheduled runs that failed or never
// finished since the last time, once. settings.dat keeps how far the log has been looked
// at (section autobackup, key reportedlog; 0 once it was looked at with no log yet);
// without it, runs before the last completed one are not told. An unfinished run at the end of the log while a run holds the run mark may
// still be running, and is left for the next time. The log gets a line for each run that
// never finished, so that the Logs page shows it too.
void TellFailedScheduledRuns();

}  // namespace quarnel::app
