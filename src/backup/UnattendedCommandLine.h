#pragma once
// The command line a scheduled task starts the program with:
//   sf=<identity's display name>xm=<eight item flags>ps=<password>bf=<backup file>
// read by position, the way the task writes it.
#include <optional>
#include <string>

#include "platform/System.h"

namespace quarnel::backup {

struct UnattendedOptions {
  std::string sf;  // display name of the identity
  std::string xm;  // item flags, one character per item
  std::string ps;  // password; empty for an unprotected backup
  std::string bf;  // backup file
};

// Splits at every "=", drops the last two characters of every part but the first and the
// last (the key of the next pair) and takes parts 1 to 4. Nothing when there are fewer than
// five parts or sf, xm or bf is empty. A value holding "=" shifts every later field; the
// writer refuses such values.
std::optional<UnattendedOptions> ParseUnattendedCommandLine(const std::string& commandLine);

// bf without its last four characters (normally ".soe"), then "-MM-DD-YYYY-HH-MM.soe".
std::string DatedBackupPath(const std::string& bf, const platform::LocalTime& now);

}  // namespace quarnel::backup
