#pragma once
// Writes mail-folder files (.dbx) as Outlook Express lays them out, from the
// same public description of the format the reader follows: for tests, fuzzer
// seeds and benchmarks. Into memory, or straight into a file for folders too
// large to hold.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quarnel::testing {

struct DbxMessageSpec {
  std::string text;  // the message as stored, headers and body
  std::string subject, senderName, senderAddress;
  std::uint64_t sent = 0;    // FILETIME
  bool deleted = false;      // written, but left out of the index as Outlook Express leaves it
  bool headersOnly = false;  // described, with no text in the folder
};

// Where a message's parts landed, for tests that damage them.
struct DbxPlaced {
  std::uint32_t info = 0;
  std::vector<std::uint32_t> blocks;
};

class DbxWriter {
 public:
  static constexpr std::uint32_t kBlockRoom = 0x200;
  explicit DbxWriter(bool folderList = false, std::FILE *file = nullptr);

  DbxPlaced AddMessage(const DbxMessageSpec &m);
  std::uint32_t AddFolder(std::uint32_t id, std::uint32_t parentId, const std::string &name,
                          const std::string &fileName);
  // Writes the index and the header; in memory the file's bytes, else "".
  std::string Finish();
  std::uint64_t Size() const { return end_; }

 private:
  std::uint32_t Append(const std::string &bytes);
  void Put(std::uint64_t at, const std::string &bytes);
  std::uint32_t Indexed(const std::vector<std::pair<int, std::string>> &fields, int direct);
  std::uint32_t WriteTree(const std::uint32_t *values, std::size_t n, std::uint32_t parent);

  bool folderList_;
  std::FILE *file_;
  std::string bytes_;
  std::uint64_t end_ = 0;
  std::vector<std::uint32_t> indexed_;
};

// 2005-03-14 09:30:00 UTC as a FILETIME, plus seconds.
std::uint64_t FileTimeAt(std::uint64_t secondsAfter = 0);

// Messages as users have them, each with its description: plain with a
// signature of several lines, 8-bit Windows-1252 with "From " lines, multipart,
// attachment-heavy (a few hundred blocks), an awkward subject, one with headers
// only, one deleted, one without subject.
enum Sample { kPlain, kEightBit, kMultipart, kAttachments, kAwkward, kHeadersOnly, kDeleted, kNoSubject, kSamples };
std::vector<DbxMessageSpec> SampleMessages();

}  // namespace quarnel::testing
