#include "schedule/TaskCommands.h"

#include <cctype>
#include <cstdio>
#include <optional>

#include "app/Settings.h"

namespace quarnel::schedule {
namespace {

std::string QuotedTaskName() { return std::string("\"") + kTaskName + "\""; }

// One to two digits from `at`, advancing it; nothing when there is no digit.
std::optional<int> Digits(const std::string& text, std::size_t& at) {
  int value = 0, count = 0;
  while (at < text.size() && count < 2 && std::isdigit(static_cast<unsigned char>(text[at]))) {
    value = value * 10 + (text[at++] - '0');
    ++count;
  }
  if (count == 0) return std::nullopt;
  return value;
}

// Removes a trailing "AM" or "PM" (any case, blanks before it); 0 none, 1 AM, 2 PM.
int TakeMeridiem(std::string& text) {
  if (text.size() < 2) return 0;
  std::string tail = text.substr(text.size() - 2);
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (tail != "AM" && tail != "PM") return 0;
  text = app::TrimBlanks(text.substr(0, text.size() - 2));
  return tail == "AM" ? 1 : 2;
}

}  // namespace

std::string TaskArguments(const TaskOptions& options) {
  return "sf=" + options.userName + "xm=" + options.items + "ps=" + options.password + "bf=" + options.targetFile;
}

std::string TaskCommandLine(const TaskOptions& options) {
  return "\"" + app::JoinPath(app::ProgramFolder(), "quarnel.exe") + "\" " + TaskArguments(options);
}

std::string DayList(const std::array<bool, 7>& mondayToSunday) {
  static const char* const kDays[7] = {"Mon,", "Tue,", "Wed,", "Thu,", "Fri,", "Sat,", "Sun"};
  std::string list;
  for (std::size_t i = 0; i < mondayToSunday.size(); ++i) {
    if (mondayToSunday[i]) list += kDays[i];
  }
  if (!list.empty() && list.back() == ',') list.pop_back();
  return list.empty() ? "*" : list;
}

std::string StartTimeText(const std::string& typed) {
  std::string text = app::TrimBlanks(typed);
  int meridiem = TakeMeridiem(text);
  std::size_t at = 0;
  std::optional<int> hour = Digits(text, at);
  if (!hour || at >= text.size() || text[at] != ':') return typed;
  ++at;
  std::optional<int> minute = Digits(text, at);
  if (!minute || *minute > 59) return typed;
  if (at < text.size()) {
    if (text[at] != ':') return typed;
    ++at;
    std::optional<int> second = Digits(text, at);
    if (!second || *second > 59 || at != text.size()) return typed;
  }
  if (meridiem != 0) {
    if (*hour < 1 || *hour > 12) return typed;
    *hour = *hour % 12 + (meridiem == 2 ? 12 : 0);
  }
  if (*hour > 23) return typed;
  char formatted[8];
  std::snprintf(formatted, sizeof formatted, "%02d:%02d", *hour, *minute);
  return formatted;
}

std::string EndTaskCommand() { return "schtasks /end  /tn " + QuotedTaskName(); }

std::string DeleteTaskCommand() { return "schtasks /delete /f  /tn " + QuotedTaskName(); }

std::string CreateTaskCommand(const std::string& dayList, const std::string& startTime, const TaskOptions& options) {
  // Inside the quoted value of /tr, the quotes around the program's path are escaped.
  std::string run;
  for (char c : TaskCommandLine(options)) {
    if (c == '"') run += '\\';
    run += c;
  }
  return "schtasks /create /sc WEEKLY /d " + dayList + " /st " + startTime + ":00 /tn " + QuotedTaskName() +
         " /tr \"" + run + "\"";
}

std::string QueryTasksCommand() { return "schtasks /query /fo csv /nh"; }

bool TaskListed(const std::string& queryOutput) {
  // Windows XP lists "Quarnel AutoBackup", later versions "\Quarnel AutoBackup", as the
  // first quoted field of a line.
  for (const std::string& name : {std::string("\"") + kTaskName + "\"", std::string("\"\\") + kTaskName + "\""}) {
    for (std::size_t at = queryOutput.find(name); at != std::string::npos; at = queryOutput.find(name, at + 1)) {
      if (at == 0 || queryOutput[at - 1] == '\n') return true;
    }
  }
  return false;
}

}  // namespace quarnel::schedule
