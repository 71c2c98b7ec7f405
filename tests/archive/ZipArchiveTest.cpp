// Writing and reading archives: what a write keeps, what reading opens and refuses, the
// traditional protection, archives damaged or made to mislead, the record a backup is held
// to, and the names an entry may give a file.
#include "archive/ZipArchive.h"

#include <zip.h>
#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/BlockDeflate.h"
#include "archive/EntryNames.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::CentralDirectory;
using testing::FolderListing;
using testing::MailLikeText;
using testing::MakeTraditionallyProtectedZip;
using testing::MakeZipDirectly;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kGermanName = "Gel\xF6schte Objekte.dbx";  // ANSI (Windows-1252)

bool ExtractOne(ZipArchive& zip, const std::string& name, const std::string& folder) {
  std::optional<ArchiveEntry> entry = zip.FindEntry(name);
  return entry && entry->ExtractToFolder(folder);
}

// With the traditional protection a wrong password passes an entry's one-byte verifier
// once in 256; the check must then still fail on the content, and an empty entry, which
// has nothing but the verifier, must not be what decides.
TEST(ArchiveTraditionalProtection, AWrongPasswordPassingTheVerifierIsStillRefused) {
  TempFolder work, restored;
  const std::string archive = work.File("zip.soe");
  ASSERT_TRUE(MakeTraditionallyProtectedZip(
      archive, {{"empty.dat", ""}, {"Inbox.dbx", MailLikeText(5000, 3)}, {"tiny.txt", "x"}}, "right", "wrong"));
  ZipArchive zip;
  EXPECT_EQ(zip.IsArchiveProtected(archive), 1);
  ASSERT_TRUE(zip.OpenArchive(archive)) << zip.LastError();
  zip.ReadPassword("wrong");
  EXPECT_EQ(zip.CheckPassword(), 0);
  EXPECT_FALSE(ExtractOne(zip, "Inbox.dbx", restored.path()));
  EXPECT_THAT(FolderListing(restored.path()), ElementsAre());
  zip.ReadPassword("right");
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  ASSERT_TRUE(ExtractOne(zip, "Inbox.dbx", restored.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), MailLikeText(5000, 3));

  // When only empty entries are protected, every one is tried.
  const std::string empty = work.File("empty.soe");
  ASSERT_TRUE(MakeTraditionallyProtectedZip(empty, {{"a.dat", ""}, {"b.dat", ""}}, "right", "wrong", 1));
  ASSERT_TRUE(zip.OpenArchive(empty)) << zip.LastError();
  zip.ReadPassword("right");
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  zip.ReadPassword("wrong");  // passes a.dat's verifier, not b.dat's
  EXPECT_EQ(zip.CheckPassword(), 0);
}

// A plain archive needs no password; asking about another archive changes nothing; names
// are found by their bytes only, here the German one in ANSI without the UTF-8 flag, as
// older writers left it; an extraction replaces the live file, and an entry of a closed
// archive, or of an earlier opening, extracts nothing.
TEST(ArchiveReading, AnOpenPlainArchiveExtractsOverTheLiveFile) {
  TempFolder target;
  testing::LiveFolder restored;
  const std::vector<testing::RawEntry> files = {{"Inbox.dbx", MailLikeText(300000, 1)}, {kGermanName, "old mail"}};
  ASSERT_TRUE(MakeZipDirectly(target.File("u.soe"), files));
  ASSERT_EQ(CentralDirectory(ReadFileBytes(target.File("u.soe"))).at(1).flags & 0x800, 0);
  ZipArchive zip;
  EXPECT_EQ(zip.CheckPassword(), 0);  // nothing open
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));
  EXPECT_EQ(zip.CheckPassword(), 1);
  EXPECT_EQ(zip.IsArchiveProtected(target.File("none.soe")), 0);
  EXPECT_FALSE(zip.FindEntry("Outbox.dbx"));
  EXPECT_FALSE(zip.FindEntry("inbox.dbx"));
  std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
  ASSERT_TRUE(entry);
  EXPECT_FALSE(entry->ExtractToFolder(restored.File("nowhere")));
  restored.ExpectUntouched();
  ASSERT_TRUE(entry->ExtractToFolder(restored.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), MailLikeText(300000, 1));
  ASSERT_TRUE(ExtractOne(zip, kGermanName, restored.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File(kGermanName)), "old mail");
  zip.CloseArchive();
  EXPECT_EQ(zip.CheckPassword(), 0);
  restored.PutBack();
  EXPECT_FALSE(entry->ExtractToFolder(restored.path()));
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));  // opened anew: the entry is of the earlier opening
  EXPECT_FALSE(entry->ExtractToFolder(restored.path()));
  EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), "the live mail folder");
}

// Archives that are damaged or made to mislead: every one gives a failure result, writes
// nothing and does not crash.

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
    {"EntryClaimsFourGiB", [](std::string& b) { testing::SetStatedSize(b, CentralDirectory(b).at(0), 0xFFFFFFF0u); },
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
    {"EntryInflatesPastItsStatedSize", [](std::string& b) { testing::SetStatedSize(b, CentralDirectory(b).at(0), 1000); },
     true},
};

class ArchiveBadInput : public ::testing::TestWithParam<std::tuple<Mangling, bool>> {};

TEST_P(ArchiveBadInput, FailsCleanlyAndWritesNothing) {
  const auto& [mangling, protect] = GetParam();
  TempFolder work, restored;
  ASSERT_TRUE(MakeZipDirectly(work.File("b.soe"), {{"Inbox.dbx", MailLikeText(20000, 7)}}, "pw",
                              protect ? ZIP_EM_AES_256 : 0));
  std::string bytes = ReadFileBytes(work.File("b.soe"));
  mangling.apply(bytes);
  WriteFileBytes(work.File("b.soe"), bytes);

  ZipArchive zip;
  const int isProtected = zip.IsArchiveProtected(work.File("b.soe"));  // any answer, as long as it answers
  if (bytes.empty() || bytes[0] == 'B') {  // no zip file at all
    EXPECT_EQ(isProtected, 0);
  }
  const bool opened = zip.OpenArchive(work.File("b.soe"));
  zip.ReadPassword("pw");
  std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
  EXPECT_TRUE(opened || !entry);
  EXPECT_TRUE(!entry || !entry->ExtractToFolder(restored.path()));
  EXPECT_FALSE(zip.LastError().empty());
  // An unprotected archive that opens needs no password; a protected one's password is
  // provable as long as the protected data and its code are intact.
  EXPECT_EQ(zip.CheckPassword(), opened && (!protect || mangling.dataIntact) ? 1 : 0);
  EXPECT_THAT(FolderListing(restored.path()), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Mangled, ArchiveBadInput, ::testing::Combine(::testing::ValuesIn(kManglings), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_Protected" : "_Plain");
                         });


// A backup bound to what it was made of: the closing entry carries the facts of every entry
// as they were read while written, and an archive held to such a record refuses any entry
// that differs from it. Methods the program never writes are refused.

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
// entry appended before the last of them still comes last, and lists each name once.
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

  // A file of the same name from another folder, appended first: the later one takes its place.
  TempFolder other;
  ASSERT_TRUE(WriteFileBytes(other.File("Inbox.dbx"), "from a stationery folder"));

  ZipArchive zip;
  zip.ArchivePassword("s3cret");
  zip.CloseArchive();
  EXPECT_EQ(zip.ArchivePassword(), "");  // forgotten with the archive, written or not
  zip.DeflateWorkers(2);
  zip.NewArchive(work.File("b.soe"));
  ASSERT_TRUE(zip.AppendPath(other.File("Inbox.dbx")) && zip.AppendPath(work.File(files[0].first)));
  ASSERT_TRUE(zip.AppendPath(work.File(files[1].first)));
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
    if (row.refusal) {
      EXPECT_THAT(zip.LastError(), HasSubstr(row.refusal)) << row.what;
    }
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


// Names from a backup are used as file names in the user's folders only when Windows
// would take them exactly as written.

TEST(EntryNames, PlainFileNamesPassAndNamesWindowsWouldReinterpretAreRefused) {
  for (const char* name : {"Inbox.dbx", "Gel\xF6schte Objekte.dbx", "OBA1F.tmp", "quarnel.dat", "a", ".hidden",
                           "CONSOLE.dbx", "COM\xB4.txt", "COM10", "CONIN", "CONOUT$x", "LPT", "nul-list.txt", "a..b",
                           "x y.dbx"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
  const std::string refused[] = {
      "", ".", "..", "..\\x.dbx", "C:\\x.dbx", "C:x.dbx", "a/b.dbx", "a\\b.dbx", "../up.dbx", "\\\\server\\share",
      "Inbox.dbx.", "Inbox.dbx ", "Inbox.dbx. .", "in<box.dbx", "in>box", "a\"b", "a|b", "a?b", "a*b",
      std::string("a\0b", 3), "a\tb", "a\x1f", "a\x7f",
      "CON", "con", "Nul", "PRN.txt", "aux.dbx", "NUL.tar.gz", "COM1", "com9.dbx", "LPT1", "lpt9.txt", "CON .txt",
      "file.txt:stream", "COM0", "lpt0.dbx", "COM\xB9", "com\xB2.txt", "LPT\xB3 .dbx", "CONIN$", "conout$.log", "In\x01" "box.dbx",
  };
  for (const std::string& name : refused) EXPECT_FALSE(IsSafeEntryName(name)) << name;
}

}  // namespace
}  // namespace quarnel::archive
