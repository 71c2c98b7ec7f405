#pragma once
// Restoring a set of files (the mail folders, the stationery) all or nothing: every entry
// is first taken out of the archive and checked into a file of its own beside its live
// file, and only when all of them are there are the live files replaced.
#include <string>
#include <vector>

#include "archive/ZipArchive.h"

namespace quarnel::backup {

// The start of the name of every file a restore keeps beside the live files while it
// works, so that leftovers of an interrupted run can be told from the user's files:
//   "~qbr.new.<name>.tmp"  the checked content that is to replace <name>; it may go;
//   "~qbr.old.<name>.tmp"  <name> as it was before the restore began; when <name> is
//                          missing this is its only copy and belongs back under <name>.
inline constexpr char kRestoreTemporaryPrefix[] = "~qbr.";
std::string StagedName(const std::string &name);  // "~qbr.new.<name>.tmp"
std::string KeptName(const std::string &name);    // "~qbr.old.<name>.tmp"

// Puts each entry's content in place of the file of the entry's name in the folder (an
// existing one). True only when every file was replaced (or added); otherwise false with
// every live file of the folder as it was and the files of the restore removed: the
// entries' stated sizes together must fit the folder's free space before anything is
// written, every entry must extract completely and pass its checks, and when a live file
// cannot be set aside or a new one not put in place, those already replaced are put back.
bool RestoreFilesAllOrNothing(const std::vector<archive::ArchiveEntry> &entries, const std::string &folder);

}  // namespace quarnel::backup
