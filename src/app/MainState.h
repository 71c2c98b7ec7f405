#pragma once
// The main window's state that the jobs read and write, and the process-wide values.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"

namespace quarnel::app {

// The backup items: eight check boxes on the backup page and eight on the restore page.
inline constexpr int kItemCount = 8;

struct Identity {
  std::string displayName;  // value Username of the identity's key
  std::string keyName;      // the identity's sub-key name under HKEY_CURRENT_USER\Identities
};

// What a finished backup hands the disc writer window when it opens it: the backup file's
// name without its folder, and its full path. The window empties it once it has taken it.
struct DiscHandOver {
  std::string fileName;
  std::string path;
};

struct MainState {
  std::string ComputerName;
  std::string WindowsFolder;
  std::string LogonUser;
  std::vector<Identity> Identities;
  bool NoIdentities = false;
  std::string InfoFilePath;
  std::string TargetPath;
  bool NoValidBackupFile = true;
  std::string BackupPassword;

  // The restore page's own state, set when a backup file is opened.
  std::string BackupFilePath;
  std::string RestorePassword;
  std::string BackupItemFlags;
  std::vector<std::string> ItemEntryNames = std::vector<std::string>(8);
  int RestoreTargetIndex = -1;  // the identity chosen in cbTarget

  DiscHandOver DiscWriterHandOver;

  // A backup or restore is running: it pumps window events, and the job commands are
  // ignored until it ends.
  bool JobRunning = false;

  // The window's zip component: one archive at a time, kept open between opening a backup
  // file and restoring from it.
  std::shared_ptr<archive::ZipArchive> Zip1 = std::make_shared<archive::ZipArchive>();
};

// The whole command line as the process received it, without the program path.
std::string& CommandLine();
// What the process exits with; an unattended run sets it (0: backup completed).
int& ExitCode();

}  // namespace quarnel::app
