#pragma once
// Files and folders. Paths are Windows text (ANSI, '\' separators); the portable twin
// maps '\' to '/' and otherwise behaves as Windows does for what the program relies on.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quarnel::platform {

// A file open for reading from its start, in pieces.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Fills the buffer as far as the file goes: size bytes, fewer only at its end; -1 on a
  // read error, errno then telling why.
  virtual std::int64_t Read(void* buffer, std::size_t size) = 0;
};

// A file held open by FileSystem::Hold until this is destroyed.
class HeldFile {
 public:
  virtual ~HeldFile() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool FileExists(const std::string& path) = 0;    // an existing file, not a folder
  virtual bool FolderExists(const std::string& path) = 0;  // an existing folder
  // Names (no folder) of the files directly in the folder; sub-folders are left out.
  virtual std::vector<std::string> ListFiles(const std::string& folder) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Moves a file over another in one step, replacing it (same volume).
  virtual bool MoveReplace(const std::string& from, const std::string& to) = 0;
  virtual bool Copy(const std::string& from, const std::string& to) = 0;  // replaces
  virtual bool SetNormalAttributes(const std::string& path) = 0;
  virtual std::optional<std::uint64_t> FileSize(const std::string& path) = 0;
  // Appends bytes, creating the file when missing; false when it cannot be opened or written.
  virtual bool AppendBytes(const std::string& path, std::string_view bytes) = 0;
  virtual bool ReadAll(const std::string& path, std::string* out) = 0;
  // Creates or truncates the file, then writes the bytes.
  virtual bool WriteAll(const std::string& path, std::string_view bytes) = 0;
  // Writes what the system still holds of the file's content to the disk; false when the
  // file cannot be opened for writing or the disk refuses.
  virtual bool FlushToDisk(const std::string& path) = 0;
  // Bytes the user may still write on the volume that holds the folder; none when unknown.
  virtual std::optional<std::uint64_t> FreeSpace(const std::string& folder) = 0;
  // The file's read-only attribute; none when there is no such file.
  virtual std::optional<bool> IsReadOnly(const std::string& path) = 0;
  // Sets or clears the read-only attribute alone; the file's other attributes stay.
  virtual bool SetReadOnly(const std::string& path, bool readOnly) = 0;
  // Opens a file to be read in pieces, sharing it with other programs as the C library
  // does; null when it cannot be opened, errno then telling why. Both builds' own seams use
  // this C library implementation.
  virtual std::unique_ptr<InputFile> OpenInput(const std::string& path);
  // Creates a file that is not there yet and opens it for writing, in one step that never
  // opens or replaces anything of that name (CREATE_NEW, O_EXCL): one look-up of the name,
  // where a look before and an open after take three, each a search of the whole folder
  // under Wine. Null when it cannot, errno then telling why (EEXIST: the name is taken).
  // Both builds' own seams use this C library implementation.
  virtual std::FILE* CreateNew(const std::string& path);
  // Under Wine: a name of an existing folder that Wine takes as the Unix path it stands for
  // ("\\?\unix\..."), through which a new file is made without Wine first searching the
  // whole folder for the same name in another case (which makes thousands of new files in
  // one folder take minutes). Empty anywhere else, and when the name cannot be said in ANSI
  // text. Only for a folder whose every name the caller knows: that search is what keeps
  // two names that differ only in case apart.
  virtual std::string DirectFolderName(const std::string& folder);
  // Whether any process, this one included, has the file open: on Windows such a file can be
  // neither deleted nor opened exclusively; the portable twin looks for it among the open
  // files of every process it may see. False when there is no such file. A seam that cannot
  // tell says it is in use, so that nothing is removed on its word.
  virtual bool InUse(const std::string&) { return true; }
  // Holds the file open, creating it when missing, until the result is destroyed; null when
  // it cannot. An exclusive hold is refused while anyone holds the file (on Windows while
  // anyone has it open), a shared one while an exclusive hold lasts; shared holds go together.
  // A seam that cannot hold gives null.
  virtual std::unique_ptr<HeldFile> Hold(const std::string&, bool /*exclusive*/) { return nullptr; }
};

}  // namespace quarnel::platform
