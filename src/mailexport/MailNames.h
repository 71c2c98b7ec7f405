#pragma once
// Names for what an export writes: every name is one Windows accepts as it is
// (no reserved character, no device name, no trailing dot or blank), short
// enough that the whole path stays within MAX_PATH, and unique in its folder.
// Names are ANSI text.
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>

namespace quarnel::mailexport {

// Windows' MAX_PATH less the terminating zero: the longest path the ANSI calls
// take.
inline constexpr std::size_t kMaxPathLength = 259;
inline constexpr std::size_t kMaxSubjectInName = 70;
inline constexpr std::size_t kMaxFolderName = 60;

// "2005-03-14 0930" (UTC) for a FILETIME, "undated" for 0.
std::string NameDate(std::uint64_t fileTime);
// "Mon Mar 14 09:30:00 2005" (UTC), as an mbox From_ line has it; the FILETIME
// epoch for 0.
std::string MboxDate(std::uint64_t fileTime);

// The text made safe as a file name of at most maxLength characters; fallback
// when nothing is left of it.
std::string SafeName(const std::string &text, std::size_t maxLength, const std::string &fallback);

// "<date> <subject>.eml", shortened so that folder\name fits in kMaxPathLength.
// Empty when even the shortest such name does not fit.
std::string MessageFileName(const std::string &folder, std::uint64_t fileTime, const std::string &subject);

// What an export knows of one folder: the names it has made there, upper-case
// as Windows compares them, and, for a folder it made itself and so knows every
// name of, the folder's direct name (FileSystem::DirectFolderName) to make the
// files through.
struct MadeNames {
  std::set<std::string> upper;
  std::string direct;
};

// A new file in the folder, open for writing: name, or "stem (2).ext",
// "stem (3).ext" ... up to " (99999)", the first that names nothing there. Each
// is tried with one exclusive create, never over what exists; names in made are
// passed over without asking the file system (under Wine every look-up of a
// missing name searches the whole folder). The name taken goes into made. Null
// when no file could be made; *path is the path of the file or of the last one
// tried.
std::FILE *CreateUniqueFile(const std::string &folder, const std::string &name, MadeNames *made, std::string *path);

// folder\name, with the name as the local file system wants it (UTF-8 off
// Windows).
std::string JoinLocal(const std::string &folder, const std::string &name);

}  // namespace quarnel::mailexport
