#pragma once
// Entries of a backup file, taken out for the mail export. Every entry the
// export reads from a backup comes through here, checked as a restore checks it
// (its size, CRC and, protected, its authentication code), so a different way
// of reading entries changes this one file only.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"

namespace quarnel::mailexport {

class BackupEntries {
 public:
  BackupEntries() = default;
  ~BackupEntries();
  BackupEntries(const BackupEntries &) = delete;
  BackupEntries &operator=(const BackupEntries &) = delete;

  bool Open(const std::string &path, std::string *message);
  // From now on every entry read must be as the backup's record lists it (name,
  // size, CRC), as a restore holds it: an entry altered or swapped since the
  // backup was made is refused, not exported.
  void Expect(const std::vector<archive::EntryFacts> &record) { zip_.ExpectEntries(record); }
  // The entries' names as ANSI text.
  const std::vector<std::string> &Names() const { return names_; }
  // The size the entry states; false when there is no such entry or it cannot
  // be read.
  bool StatedSize(const std::string &name, const std::string &password, std::uint64_t *size, std::string *message);
  // The whole entry to the sink; true only when all of it arrived and passed
  // its checks.
  bool Read(const std::string &name, const std::string &password, const archive::ContentSink &sink,
            std::string *message);

 private:
  std::optional<archive::ArchiveEntry> Find(const std::string &name, const std::string &password, std::string *message);

  archive::ZipArchive zip_;
  std::vector<std::string> names_;
};

}  // namespace quarnel::mailexport
