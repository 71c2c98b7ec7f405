#pragma once
// What the disc engine needs of the local file system beyond the files seam: folder
// listings with sizes and dates, streaming reads and writes with 64-bit offsets, free
// space. Paths are ANSI text with '\' separators; off Windows '\' becomes '/'.
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "platform/System.h"

namespace quarnel::disc {

struct LocalEntry {
  std::string name;
  bool isFolder = false;
  std::uint64_t size = 0;
  std::time_t modified = 0;
};

// Facts of a file or folder; false when it does not exist.
bool StatPath(const std::string& path, LocalEntry* entry);
// Entries of a folder, without "." and ".."; false when it cannot be listed.
bool ListLocalFolder(const std::string& folder, std::vector<LocalEntry>* entries);
// Free bytes for the caller on the volume that holds the folder; 0 when unknown.
std::uint64_t FreeBytes(const std::string& folder);
bool RemoveLocalFile(const std::string& path);
// Moves a finished file over the destination in one step.
bool ReplaceLocalFile(const std::string& from, const std::string& to);

// A file opened for streaming; closed on destruction.
class LocalFile {
 public:
  static std::unique_ptr<LocalFile> OpenRead(const std::string& path);
  static std::unique_ptr<LocalFile> Create(const std::string& path);  // truncates
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // Bytes read; fewer than asked only at the end of the file or on an error (Failed()).
  std::size_t Read(void* buffer, std::size_t size);
  bool Write(const void* buffer, std::size_t size);
  bool Seek(std::uint64_t offset);
  bool Failed() const;
  // Flushes everything to the disk; false when it could not be written.
  bool Commit();
  bool Close();

 private:
  explicit LocalFile(std::FILE* file) : file_(file) {}
  void WriteBehind();

  std::FILE* file_;
  std::uint64_t written_ = 0;
  std::uint64_t handedOver_ = 0;  // bytes already given to the disk to write
};

// The local date and time of a file time.
platform::LocalTime LocalTimeOf(std::time_t time);

// Text of the folder a path lies in, the name after the last separator.
std::string ParentFolder(const std::string& path);
std::string LastName(const std::string& path);

}  // namespace quarnel::disc
