#pragma once
// brlog.dat: the report every backup and restore run appends to.
#include <string>

#include "app/MainView.h"

namespace quarnel::app {

std::string LogFilePath();  // brlog.dat in the data folder

// Appends the text and CR LF, creating the file; false when any step fails.
bool AppendLog(const std::string& file, const std::string& text);

// The texts the runs pass: a separator line, an event and a run's closing event, each
// stamped with the current local date and time in the general date form.
std::string LogSeparator();
std::string LogEvent(const std::string& eventText);
std::string LogClosingEvent(const std::string& eventText);
// The event that says why a run could not complete, before its closing event.
std::string LogReason(const std::string& reason);
inline constexpr char kLogReasonText[] = " Reason: ";

// Fills List1 with the log's lines (a line ends at CR or CR LF) and selects the last one.
void FillLogPage(MainView& view);
// Opens the log in Notepad.
void ShowLogFile();

}  // namespace quarnel::app
