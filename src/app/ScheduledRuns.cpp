#include "app/ScheduledRuns.h"

#include <cstdlib>

#include "app/Log.h"
#include "app/Product.h"
#include "app/RunMark.h"
#include "app/Settings.h"
#include "platform/Services.h"

namespace quarnel::app {

using Outcome = ScheduledRun::Outcome;

namespace {

constexpr char kScheduledStart[] = " Auto Start Backup Profile ";
constexpr const char* kOtherStarts[] = {" Start Backup Profile ", " Start Retore Data to Profile "};
constexpr char kFileIs[] = " Backup File is ";
constexpr char kCompleted[] = " Data was Completed!";
constexpr char kNotCompleted[] = " Data was not Completed!";
constexpr std::size_t kMostTold = 5;

// The text after `marker` up to `ending` at the record's end; false when the record is not so.
bool Between(std::string_view record, std::string_view marker, std::string_view ending, std::string* found,
             std::size_t* at = nullptr) {
  const std::size_t start = record.find(marker);
  if (start == std::string_view::npos || record.size() < start + marker.size() + ending.size()) return false;
  if (record.substr(record.size() - ending.size()) != ending) return false;
  *found = std::string(record.substr(start + marker.size(), record.size() - ending.size() - start - marker.size()));
  if (at) *at = start;
  return true;
}

bool IsOtherStart(std::string_view record) {
  if (record.find(kScheduledStart) != std::string_view::npos) return false;
  for (const char* start : kOtherStarts) {
    if (record.find(start) != std::string_view::npos) return true;
  }
  return false;
}

// Reads the records of the run open in `run` into it; true at its closing record.
bool ReadRecord(std::string_view record, ScheduledRun& run) {
  std::string text;
  if (Between(record, kFileIs, "\n", &text)) {
    run.file = text;
  } else if (Between(record, kLogReasonText, "\n", &text)) {
    run.reason = text;
  } else if (Between(record, " Backup ", " Fail!\n", &text)) {
    run.failedItems.push_back(text);
  } else if (Between(record, " Backup Profile ", std::string(kCompleted) + "\r", &text)) {
    run.outcome = run.failedItems.empty() ? Outcome::Completed : Outcome::ItemsFailed;
    return true;
  } else if (Between(record, " Backup Profile ", std::string(kNotCompleted) + "\r", &text)) {
    run.outcome = Outcome::NotCompleted;
    return true;
  }
  return false;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return list;
}

std::string ReadLog() {
  std::string log;
  return platform::Files().ReadAll(LogFilePath(), &log) ? log : std::string();
}

}  // namespace

std::vector<ScheduledRun> ScheduledRuns(std::string_view log, std::size_t from) {
  std::vector<ScheduledRun> runs;
  bool open = false;       // runs.back() still waits for its closing record
  bool otherOpen = false;  // another run started after it and has not closed
  std::size_t separator = std::string_view::npos;
  for (std::size_t at = from; at < log.size();) {
    std::size_t next = log.find("\r\n", at);
    if (next == std::string_view::npos) next = log.size();
    const std::string_view record = log.substr(at, next - at);
    const std::size_t begin = at;
    at = next + 2;
    if (record == std::string(84, '.') + "\r") {
      separator = begin;
      continue;
    }
    ScheduledRun run;
    std::size_t where = 0;
    if (Between(record, kScheduledStart, " Data...\n", &run.identity, &where)) {
      run.started = std::string(record.substr(0, where));
      run.begin = separator != std::string_view::npos ? separator : begin;
      runs.push_back(run);
      open = true;
      otherOpen = false;
    } else if (IsOtherStart(record)) {
      otherOpen = true;
    } else if (open && !otherOpen) {
      open = !ReadRecord(record, runs.back());
    } else if (otherOpen && !record.empty() && record.back() == '\r') {
      otherOpen = false;  // that run's closing record
    }
    separator = std::string_view::npos;
  }
  return runs;
}

std::string Describe(const ScheduledRun& run) {
  const std::string what = "The scheduled backup of " + run.identity + " started " + run.started;
  switch (run.outcome) {
    case Outcome::Completed:
      return what + " was completed: " + run.file + ".";
    case Outcome::ItemsFailed:
      return what + " wrote " + run.file + ", but could not back up: " + Joined(run.failedItems) + ".";
    case Outcome::NotCompleted:
      return what + " was not completed: the backup file " + run.file + " was not written" +
             (run.reason.empty() ? "" : " (" + run.reason + ")") + ".";
    case Outcome::Unfinished:
      break;
  }
  return what + " did not finish: it was ended while it ran (the computer was shut down, or the task was stopped), " +
         "so the backup file " + run.file + " was not written.";
}

std::uint64_t LogSize() { return platform::Files().FileSize(LogFilePath()).value_or(0); }

void ReportScheduledRun(int exitCode, std::uint64_t logSizeBefore) {
  const std::string log = ReadLog();
  std::vector<ScheduledRun> runs;
  if (logSizeBefore <= log.size()) runs = ScheduledRuns(log, static_cast<std::size_t>(logSizeBefore));
  std::string text;
  if (!runs.empty()) {
    text = Describe(runs.back());
  } else if (exitCode == 3) {
    text =
        "A scheduled backup was started with a command line that names no identity, items or file: nothing was "
        "done.";
  } else {
    text = "A scheduled backup ended with exit code " + std::to_string(exitCode) + "; the log " + LogFilePath() +
           " says nothing of it.";
  }
  platform::Events().Report(kApplicationTitle,
                            exitCode == 0 ? platform::EventKind::Information : platform::EventKind::Error, text);
}

void TellFailedScheduledRuns() {
  const std::string log = ReadLog();
  const std::string stored = ReadINI(SettingsFilePath(), "autobackup", "reportedlog");
  char* end = nullptr;
  const unsigned long long told = std::strtoull(stored.c_str(), &end, 10);
  const bool known = !stored.empty() && *end == '\0' && told <= log.size();
  std::vector<ScheduledRun> runs = ScheduledRuns(log, known ? static_cast<std::size_t>(told) : 0);
  std::size_t lookedAt = log.size();
  if (!runs.empty() && runs.back().outcome == Outcome::Unfinished && RunUnderWay()) {
    lookedAt = runs.back().begin;
    runs.pop_back();
  }
  std::vector<ScheduledRun> failed;
  for (const ScheduledRun& run : runs) {
    if (run.outcome == Outcome::Completed) {
      if (!known) failed.clear();  // what came before was made good
    } else {
      failed.push_back(run);
    }
  }
  if (!failed.empty()) {
    std::string text = failed.size() == 1 ? "A scheduled backup did not succeed:"
                                          : std::to_string(failed.size()) + " scheduled backups did not succeed:";
    const std::size_t first = failed.size() > kMostTold ? failed.size() - kMostTold : 0;
    if (first > 0) text += " the last " + std::to_string(kMostTold) + " of them are";
    for (std::size_t i = first; i < failed.size(); ++i) text += "\r\n\r\n" + Describe(failed[i]);
    text += "\r\n\r\nThe Logs page shows every run.";
    for (const ScheduledRun& run : failed) {
      if (run.outcome == Outcome::Unfinished) {
        AppendLog(LogFilePath(),
                  LogEvent(" Scheduled backup of " + run.identity + " started " + run.started + " did not finish!"));
      }
    }
    platform::Messages().Show(text, kApplicationTitle, platform::MessageButtons::Ok,
                              platform::MessageIcon::Exclamation);
  }
  if (lookedAt == log.size()) lookedAt = static_cast<std::size_t>(LogSize());
  if (std::to_string(lookedAt) != stored)
    WriteINI(SettingsFilePath(), "autobackup", "reportedlog", std::to_string(lookedAt));
}

}  // namespace quarnel::app
