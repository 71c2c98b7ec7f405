#pragma once
// The libzip sources that read the appended files while an archive is written: one gives a
// file's bytes as they are, for libzip to deflate as one stream; the other gives them
// already deflated in blocks by worker threads, for libzip to store as they come (and
// protect, with a password). Both announce the file, count its bytes for the progress and
// note what was read, for the read-back; events reach the listener on the caller's thread.
#include <zip.h>

#include <cstdint>
#include <functional>
#include <string>

#include "archive/ArchiveListener.h"
#include "archive/LocalFile.h"
#include "archive/WrittenArchive.h"

namespace quarnel::archive::detail {

class DeflatePool;

// Whole percents of all the bytes to be read, each reported once, rising.
class WriteProgress {
 public:
  WriteProgress(ArchiveListener& listener, std::uint64_t total) : listener_(listener), total_(total) {}
  void Start() { Report(0); }
  void Add(std::uint64_t bytes);
  void Finish() { Report(100); }

 private:
  void Report(int percent);

  ArchiveListener& listener_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int reported_ = -1;
};

// The first appended file that could not be read, and why.
struct ReadFailure {
  std::string path;
  int error = 0;  // errno
};

// One appended file on its way into the archive.
struct AppendedFile {
  std::string path;
  std::string entryName;
  FileFacts facts;
  ArchiveListener* listener = nullptr;
  WriteProgress* progress = nullptr;
  WrittenEntry* written = nullptr;
  ReadFailure* failure = nullptr;  // where the first unreadable file is named
};

// Null when out of memory.
zip_source_t* NewFileSource(zip_t* archive, const AppendedFile& file);
zip_source_t* NewBlockSource(zip_t* archive, const AppendedFile& file, DeflatePool& pool);
// The file's bytes followed by what trailer() gives when libzip comes to the entry.
zip_source_t* NewClosingSource(zip_t* archive, const AppendedFile& file, std::function<std::string()> trailer);

}  // namespace quarnel::archive::detail
