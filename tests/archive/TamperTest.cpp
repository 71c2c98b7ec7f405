// A backup bound to what it was made of: the closing entry carries the facts of every entry
// as they were read while written, and an archive held to such a record refuses any entry
// that differs from it. Methods the program never writes are refused.
#include <zip.h>
#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/BlockDeflate.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::HasSubstr;
using testing::MailLikeText;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

std::uint32_t Crc(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

std::string Listed(const std::vector<EntryFacts>& facts) {
  std::string text;
  for (const EntryFacts& f : facts) text += f.name + " " + std::to_string(f.size) + " " + std::to_string(f.crc) + ";";
  return text;
}

// A file large enough for the worker threads, one for one stream, an empty one; the closing
// entry appended before the last of them still comes last.
TEST(EntryRecord, ClosingEntryListsEveryOtherAsWrittenAndReadingIsHeldToIt) {
  TempFolder work;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Inbox.dbx", MailLikeText(detail::kBlockDeflateMinimum + 12345, 1)},
      {"Gel\xF6schte Objekte.dbx", MailLikeText(70000, 2)},
      {"Empty;1.dbx", ""}};
  std::vector<EntryFacts> expected;
  for (const auto& [name, bytes] : files) expected.push_back({name, bytes.size(), Crc(bytes)});
  for (const auto& [name, bytes] : files) ASSERT_TRUE(WriteFileBytes(work.File(name), bytes));
  ASSERT_TRUE(WriteFileBytes(work.File("quarnel.dat"), "BackupItem=00010000\r\n"));

  ZipArchive zip;
  zip.DeflateWorkers(2);
  zip.NewArchive(work.File("b.soe"));
  ASSERT_TRUE(zip.AppendPath(work.File(files[0].first)) && zip.AppendPath(work.File(files[1].first)));
  ASSERT_TRUE(zip.AppendClosingPath(work.File("quarnel.dat"), [](const std::vector<EntryFacts>& facts) {
    return "Listed=" + Listed(facts) + "\r\n";
  }));
  ASSERT_TRUE(zip.AppendPath(work.File(files[2].first)));
  zip.ArchivePassword("pw");
  zip.EncryptionMode(1);
  zip.VerifyAfterWrite(true);
  ASSERT_TRUE(zip.WriteArchive()) << zip.LastError();

  ASSERT_TRUE(zip.OpenArchive(work.File("b.soe")));
  zip.ReadPassword("pw");
  TempFolder out;
  ASSERT_TRUE(zip.FindEntry("quarnel.dat")->ExtractToFolder(out.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(out.File("quarnel.dat")), "BackupItem=00010000\r\nListed=" + Listed(expected) + "\r\n");

  // Each row alters one fact of Inbox.dbx in the record; the other entries stay as listed.
  const struct {
    const char* what;
    std::function<void(EntryFacts&)> alter;
    const char* refusal;
  } rows[] = {
      {"as written", [](EntryFacts&) {}, nullptr},
      {"another size", [](EntryFacts& f) { ++f.size; }, "not as the backup recorded"},
      {"another CRC", [](EntryFacts& f) { f.crc ^= 1; }, "fails its CRC"},
      {"another name", [](EntryFacts& f) { f.name = "Outbox.dbx"; }, "not among those"},
  };
  for (const auto& row : rows) {
    std::vector<EntryFacts> record = expected;
    row.alter(record[0]);
    ASSERT_TRUE(zip.OpenArchive(work.File("b.soe")));
    zip.ReadPassword("pw");
    zip.ExpectEntries(record);
    EXPECT_EQ(zip.FindEntry("Inbox.dbx")->Check(), row.refusal == nullptr) << row.what;
    if (row.refusal) EXPECT_THAT(zip.LastError(), HasSubstr(row.refusal)) << row.what;
    EXPECT_EQ(zip.FindEntry("Inbox.dbx")->ExtractToFolder(out.path()), row.refusal == nullptr) << row.what;
    EXPECT_TRUE(zip.FindEntry("Empty;1.dbx")->Check()) << row.what << zip.LastError();
  }
  EXPECT_TRUE(ReadFileBytes(out.File("Inbox.dbx")) == files[0].second);
}

// bzip2, which libzip reads where it has it, is a method the program never writes.
TEST(EntryRecord, AMethodTheProgramNeverWritesIsRefused) {
  TempFolder work;
  zip_t* made = zip_open(work.File("b.zip").c_str(), ZIP_CREATE, nullptr);
  const std::string mail = MailLikeText(5000, 3);
  zip_int64_t index = zip_file_add(made, "Inbox.dbx", zip_source_buffer(made, mail.data(), mail.size(), 0), 0);
  if (zip_set_file_compression(made, static_cast<zip_uint64_t>(index), ZIP_CM_BZIP2, 0) != 0) {
    zip_discard(made);
    GTEST_SKIP() << "this libzip cannot write bzip2 either";
  }
  ASSERT_EQ(zip_close(made), 0);
  ZipArchive zip;
  ASSERT_TRUE(zip.OpenArchive(work.File("b.zip")));
  EXPECT_FALSE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(work.path()));
  EXPECT_THAT(zip.LastError(), HasSubstr("compression method is not supported"));
  EXPECT_FALSE(platform::Files().FileExists(work.File("Inbox.dbx")));
}

}  // namespace
}  // namespace quarnel::archive
