#include "app/Log.h"

#include "app/MachineFacts.h"
#include "app/Settings.h"
#include "platform/Services.h"
#include "platform/TextLines.h"

namespace quarnel::app {

using platform::Files;
using platform::System;

std::string LogFilePath() { return JoinPath(DataFolder(), "brlog.dat"); }

bool AppendLog(const std::string& file, const std::string& text) {
  return Files().AppendBytes(file, text + "\r\n");
}

std::string LogSeparator() { return std::string(84, '.') + "\r"; }

std::string LogEvent(const std::string& eventText) {
  return System().GeneralDate(System().Now()) + eventText + "\n";
}

std::string LogClosingEvent(const std::string& eventText) {
  return System().GeneralDate(System().Now()) + eventText + "\r";
}

std::string LogReason(const std::string& reason) { return LogEvent(kLogReasonText + reason); }

void FillLogPage(MainView& view) {
  view.ClearList(Control::List1);
  std::string text;
  if (!Files().ReadAll(LogFilePath(), &text)) return;
  platform::TextLines lines(text);
  while (!lines.AtEnd()) view.AddListItem(Control::List1, std::string(lines.Next()));
  int count = view.ListCount(Control::List1);
  if (count > 0) view.SetListIndex(Control::List1, count - 1);
}

void ShowLogFile() {
  std::string commandLine = QueryWindowsFolder() + "\\notepad.exe " + LogFilePath();
  platform::Procs().Start(commandLine, platform::WindowState::Normal);
}

}  // namespace quarnel::app
