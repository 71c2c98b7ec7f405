// Archives that are damaged or made to mislead: every one gives a failure result, writes
// nothing and does not crash.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "archive/ArchiveTestSupport.h"
#include "archive/ZipArchive.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::IsEmpty;
using testing::FolderListing;
using testing::MailLikeText;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

void Put32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

std::size_t EndRecord(const std::string& bytes) { return bytes.rfind(std::string("PK\x05\x06", 4)); }
std::size_t FirstCentral(const std::string& bytes) { return bytes.find(std::string("PK\x01\x02", 4)); }

struct Mangling {
  const char* name;
  std::function<void(std::string&)> apply;
  bool dataIntact = false;  // the protected data and its code are untouched: the password is still provable
};

const Mangling kManglings[] = {
    {"TruncatedToHalf", [](std::string& b) { b.resize(b.size() / 2); }},
    {"RandomBytes",
     [](std::string& b) {
       std::uint32_t state = 12345;
       for (char& c : b) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
     }},
    {"EntryClaimsFourGiB",
     [](std::string& b) {
       Put32(b, 22, 0xFFFFFFF0u);                   // local header: uncompressed size
       Put32(b, FirstCentral(b) + 24, 0xFFFFFFF0u);  // central directory: the same
     },
     true},
    {"EntryClaimsHugeCompressedSize",
     [](std::string& b) {
       Put32(b, 18, 0x7FFFFFF0u);
       Put32(b, FirstCentral(b) + 20, 0x7FFFFFF0u);
     }},
    {"CentralDirectoryOutsideTheFile",
     [](std::string& b) { Put32(b, EndRecord(b) + 16, static_cast<std::uint32_t>(b.size() + 5000)); }},
    {"LocalHeaderOutsideTheFile", [](std::string& b) { Put32(b, FirstCentral(b) + 42, 0x7FFFFFF0u); }},
    {"CompressedDataFlipped", [](std::string& b) { b[200] = static_cast<char>(~b[200]); }},
    {"Empty", [](std::string& b) { b.clear(); }},
    {"TextInstead", [](std::string& b) { b = "BackupIdentity=Main Identity\r\n"; }},
};

class ArchiveBadInput : public ::testing::TestWithParam<std::tuple<Mangling, bool>> {};

TEST_P(ArchiveBadInput, FailsCleanlyAndWritesNothing) {
  const auto& [mangling, protect] = GetParam();
  TempFolder work, restored;
  {
    WriteFileBytes(work.File("Inbox.dbx"), MailLikeText(20000, 7));
    ZipArchive writer;
    writer.NewArchive(work.File("b.soe"));
    writer.AppendPath(work.File("Inbox.dbx"));
    writer.ArchivePassword("pw");
    writer.EncryptionMode(protect ? 1 : 0);
    ASSERT_TRUE(writer.WriteArchive()) << writer.LastError();
  }
  std::string bytes = ReadFileBytes(work.File("b.soe"));
  mangling.apply(bytes);
  WriteFileBytes(work.File("b.soe"), bytes);

  ZipArchive zip;
  const int isProtected = zip.IsArchiveProtected(work.File("b.soe"));  // any answer, as long as it answers
  bool opened = zip.OpenArchive(work.File("b.soe"));
  zip.ReadPassword("pw");
  if (!opened) {
    EXPECT_FALSE(zip.FindEntry("Inbox.dbx"));
    EXPECT_EQ(zip.CheckPassword(), 0);
  }
  if (bytes.empty() || bytes[0] == 'B') EXPECT_EQ(isProtected, 0);
  if (opened) {
    std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
    EXPECT_TRUE(!entry || !entry->ExtractToFolder(restored.path()));
    if (protect) {
      EXPECT_EQ(zip.CheckPassword(), mangling.dataIntact ? 1 : 0);
    }
  }
  EXPECT_FALSE(zip.LastError().empty());
  EXPECT_THAT(FolderListing(restored.path()), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Mangled, ArchiveBadInput, ::testing::Combine(::testing::ValuesIn(kManglings), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_Protected" : "_Plain");
                         });

}  // namespace
}  // namespace quarnel::archive
