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
//                          missing this is its only copy and belongs back under <name>;
//   "~qbr.done.tmp"        there while the old copies are removed: every new file is in
//                          place, so an old copy beside its <name> is no longer needed.
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

// Finishes in the folder what a restore that was ended before its time left there. Every
// new file removed; every old copy whose <name> is missing put back. With "~qbr.done.tmp"
// there the restore had every new file in place, and the old copies beside theirs are
// removed; without it the restore was ended half way, and each old copy is put back over
// its <name> too, so that the item is as it was before, as a failed restore leaves it.
// Files some process has open are left alone.
void RecoverInterruptedRestore(const std::string &folder);

}  // namespace quarnel::backup
