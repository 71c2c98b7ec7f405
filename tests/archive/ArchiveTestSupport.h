#pragma once
// Helpers shared by the archive tests: a listener that records, mail-like content, a
// reader of the central directory, and archives made directly with libzip (so that the
// tests can hold entries our component would never write).
#include <cstdint>
#include <string>
#include <vector>

#include "archive/ArchiveListener.h"
#include "support/TempFolder.h"

namespace quarnel::testing {

// The calling thread's id.
std::uint64_t CurrentThread();

class RecordingListener : public archive::ArchiveListener {
 public:
  void OnAddingFile(const std::string& name) override { Record("add " + name); }
  void OnExtractingFile(const std::string& name) override { Record("extract " + name); }
  void OnWriteProgress(int percent) override {
    percents.push_back(percent);
    threads.push_back(CurrentThread());
  }
  void OnWriteDone() override { Record("done"); }
  void OnVerifying() override { Record("verify"); }

  std::vector<std::string> events;
  std::vector<int> percents;
  std::vector<std::uint64_t> threads;  // of every event and report, in order

 private:
  void Record(const std::string& event) {
    events.push_back(event);
    threads.push_back(CurrentThread());
  }
};

// Text that compresses as mail does; the same seed gives the same bytes.
std::string MailLikeText(std::size_t size, unsigned seed);
// Bytes that deflate cannot shrink: stored rather than deflated, a changed byte stays local.
std::string Incompressible(std::size_t size);

// A restore folder holding one live mail folder, Inbox.dbx, that every refused or failed
// extraction must leave exactly as it was.
class LiveFolder : public TempFolder {
 public:
  LiveFolder() { PutBack(); }
  void PutBack() const;
  void ExpectUntouched() const;
};

struct CentralEntry {
  std::string name;  // raw bytes
  std::uint16_t flags = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::size_t centralAt = 0;  // offset of the central directory record
  std::size_t localAt = 0;    // offset of the local header
};
// The entries listed in a zip file's central directory, read naively (test data only).
std::vector<CentralEntry> CentralDirectory(const std::string& zipBytes);
// Offset of the entry's stored data (after its local header).
std::size_t DataAt(const std::string& zipBytes, const CentralEntry& entry);
// Change an entry in its local header and its central record alike, as a writer would have
// written it: the CRC, the stated (uncompressed) size, and the WinZip AES field's version
// (1 or 2) and inner compression method.
void SetCrc(std::string& zipBytes, const CentralEntry& entry, std::uint32_t crc);
void SetStatedSize(std::string& zipBytes, const CentralEntry& entry, std::uint32_t size);
void SetAesField(std::string& zipBytes, const CentralEntry& entry, std::uint16_t version, std::uint16_t method);

struct RawEntry {
  std::string name;  // stored as given, with no UTF-8 flag unless it is valid UTF-8
  std::string content;
  bool stored = false;  // else deflated
};
// Writes a zip file with libzip: unprotected (aesMethod 0), or protected by the password
// under that WinZip AES method (ZIP_EM_AES_128, _192 or _256); false on failure.
bool MakeZipDirectly(const std::string& path, const std::vector<RawEntry>& entries, const std::string& password = "",
                     std::uint16_t aesMethod = 0);

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
