#pragma once
// Helpers shared by the archive tests: a listener that records, mail-like content, a
// reader of the central directory, and archives made directly with libzip (so that the
// tests can hold entries our component would never write).
#include <cstdint>
#include <string>
#include <vector>

#include "archive/ArchiveListener.h"

namespace quarnel::testing {

class RecordingListener : public archive::ArchiveListener {
 public:
  void OnAddingFile(const std::string& name) override { events.push_back("add " + name); }
  void OnExtractingFile(const std::string& name) override { events.push_back("extract " + name); }
  void OnWriteProgress(int percent) override { percents.push_back(percent); }
  void OnWriteDone() override { events.push_back("done"); }

  std::vector<std::string> events;
  std::vector<int> percents;
};

// Text that compresses as mail does; the same seed gives the same bytes.
std::string MailLikeText(std::size_t size, unsigned seed);

struct CentralEntry {
  std::string name;  // raw bytes
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::string extra;  // the whole extra field
};
// The entries listed in a zip file's central directory, read naively (test data only).
std::vector<CentralEntry> CentralDirectory(const std::string& zipBytes);
// The body of the extra field with the given id, or empty.
std::string ExtraField(const std::string& extra, std::uint16_t id);

struct RawEntry {
  std::string name;  // stored as given, with no UTF-8 flag unless it is valid UTF-8
  std::string content;
};
// Writes an unprotected zip file with libzip; false on failure.
bool MakeZipDirectly(const std::string& path, const std::vector<RawEntry>& entries);

// Writes a zip file whose stored entries carry the traditional (PKWARE) protection under
// `password`. The 12-byte header of each of the first `passing` entries is chosen so that
// `alsoPassesVerifier` passes its one-byte check too (what a wrong password meets once in
// 256 entries); the later entries' headers refuse it.
bool MakeTraditionallyProtectedZip(const std::string& path, const std::vector<RawEntry>& entries,
                                   const std::string& password, const std::string& alsoPassesVerifier,
                                   std::size_t passing = static_cast<std::size_t>(-1));

// The names of the files in a folder, sorted.
std::vector<std::string> FolderListing(const std::string& folder);

}  // namespace quarnel::testing
