#pragma once
// quarnel-export: the mail folders of a backup, a store folder or one .dbx file
// as .eml or mbox files, from the command line.
//
//   quarnel-export BACKUP.soe|STORE-FOLDER|FILE.dbx OUTDIR [--mbox|--eml]
//   [--password-file FILE]
#include <cstdio>
#include <string>
#include <vector>

namespace quarnel::mailexport {

enum ExitCode {
  kExitComplete = 0,     // every message exported
  kExitPartial = 1,      // the rest exported; some messages or folders were damaged
                         // or held no text
  kExitUsage = 2,        // the command line is wrong, or the password file cannot be read
  kExitUnreadable = 3,   // no backup, store folder or mail folder file there, or no mail in it
  kExitPassword = 4,     // the backup is protected and no password, or a wrong one, was given
  kExitCannotWrite = 5,  // the target folder or a file in it cannot be written
};

// Runs the program with its arguments (without the program's name): progress on
// err, the summary on out. Returns the exit code.
int RunExportCommand(const std::vector<std::string> &args, std::FILE *out, std::FILE *err);

}  // namespace quarnel::mailexport
