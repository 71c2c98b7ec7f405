#pragma once
// The weekly task "Quarnel AutoBackup" as the Windows Task Scheduler's command-line tool
// takes it, and the command line the task starts the program with.
#include <array>
#include <string>

namespace quarnel::schedule {

inline constexpr const char* kTaskName = "Quarnel AutoBackup";

// What an unattended run is told: whose data, which items, the password and the file.
struct TaskOptions {
  std::string userName;  // the identity's display name
  std::string items;     // eight "1"/"0" characters in item order
  std::string password;  // empty: no protection
  std::string targetFile;
};

// The program and its arguments as the task runs them:
// "<program folder>\quarnel.exe" sf=<user>xm=<items>ps=<password>bf=<file>
std::string TaskCommandLine(const TaskOptions& options);
// The arguments alone, as the program receives them: sf=...xm=...ps=...bf=...
std::string TaskArguments(const TaskOptions& options);

// "Mon,Tue,...,Sun" for the days ticked, Monday first; "*" (every day) when none is.
std::string DayList(const std::array<bool, 7>& mondayToSunday);
// A start time typed or chosen as H:MM (optionally with seconds, AM or PM) as two-digit
// "HH:MM"; any other text stays as it is.
std::string StartTimeText(const std::string& typed);

std::string EndTaskCommand();
std::string DeleteTaskCommand();
std::string CreateTaskCommand(const std::string& dayList, const std::string& startTime, const TaskOptions& options);
// Lists every task, so that a caller can tell whether "Quarnel AutoBackup" is still there.
std::string QueryTasksCommand();
bool TaskListed(const std::string& queryOutput);

}  // namespace quarnel::schedule
