#pragma once
// What a run of the program that was ended before its time (the computer shut down, the
// task stopped by its time limit, the power gone) leaves behind, and its removal by the
// next run: nothing of it grows from one interrupted run to the next.
#include <optional>
#include <string>

#include "app/RunMark.h"

namespace quarnel::backup {

// Held by a backup or restore for as long as it runs: the run mark, taken before the job
// writes anything. When no other run of the program is under way, what interrupted runs
// left in the folders this job works in is first removed; only the program's own temporary
// names, and only files no process has open:
//  - the data folder: registry exports (OBA, OBR, OBS, OBI), the information file, the
//    data folder probe (qrn) and temporary archives and extractions (~qb);
//  - the folder of the backup file the job writes, when it writes one: the temporary
//    archive and libzip's part of it (~qb….tmp, ~qb….tmp.XXXXXXXX);
//  - the identity's store folder, the stationery folder and the address book's folder:
//    temporary extractions (~qb), and the restore's own files, finished as
//    RecoverInterruptedRestore says (a live file only its kept copy holds is put back).
class JobMark {
 public:
  // backupFile: what the job writes, "" for a restore; identity: the sub-key name of the
  // identity whose files it backs up or restores, none when it has none.
  JobMark(const std::string& backupFile, const std::optional<std::string>& identity);

 private:
  app::RunMark mark_;
};

// The program's temporary names: GetTempFileName's "<prefix><1 to 4 hex digits>.tmp" (the
// prefix's first three characters), and libzip's part of an archive written to such a
// file, that name with "." and up to eight letters or digits after it. Any letter case.
bool IsTemporaryName(const std::string& name, const std::string& prefix);
bool IsArchivePartName(const std::string& name);

}  // namespace quarnel::backup
