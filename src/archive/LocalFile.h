#pragma once
// The few file operations the archive component needs beyond the files seam: streaming
// writes (whole files never fit in memory), a file's size and time, and opening
// an archive with libzip. Paths are ANSI text with
// '\' separators; off Windows they are mapped as the portable seams map them.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace quarnel::archive::detail {

struct FileFacts {
  std::uint64_t size = 0;
  std::time_t modified = 0;
};

std::string LocalPath(const std::string& path);
std::FILE* OpenForWriting(const std::string& path);  // creates or truncates
bool RegularFileFacts(const std::string& path, FileFacts* facts);  // false: missing or not a file
// Moves a finished file over the destination in one step, through the files seam. Windows
// refuses to replace a read-only file: its read-only attribute alone is then cleared for a
// second try, and set again when that fails too, so a failure leaves the destination as it
// was.
bool MoveOver(const std::string& from, const std::string& to);

// Opens an archive with libzip under the path's ANSI name. Null on failure, the reason
// then in *message.
zip_t* OpenZip(const std::string& path, int flags, std::string* message);

// Text of the file-system folder a path lies in ("." when the path names no folder), the
// name after the last separator, and a path joined with one backslash.
std::string FolderOf(const std::string& path);
std::string BaseName(const std::string& path);
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace quarnel::archive::detail
