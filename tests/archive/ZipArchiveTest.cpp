#include "archive/ZipArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "platform/Services.h"
#include "support/FaultyFiles.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testing::CentralDirectory;
using testing::CentralEntry;
using testing::ExtraField;
using testing::FolderListing;
using testing::MailLikeText;
using testing::MakeTraditionallyProtectedZip;
using testing::MakeZipDirectly;
using testing::ReadFileBytes;
using testing::RecordingListener;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kGermanName = "Gel\xF6schte Objekte.dbx";        // ANSI (Windows-1252)
const std::string kGermanNameUtf8 = "Gel\xC3\xB6schte Objekte.dbx";  // the same in UTF-8

struct SourceFile {
  std::string name;
  std::string content;
};

std::vector<SourceFile> MailboxFiles() {
  return {{"Inbox.dbx", MailLikeText(300000, 1)},
          {"empty.dat", ""},
          {kGermanName, MailLikeText(5000, 2)},
          {"tiny.txt", "x"},
          {"quarnel.dat", "BackupIdentity=Main Identity\r\nBackupItem=00010000\r\n"}};
}

// Writes the files into source and archives them at archivePath.
bool WriteBackup(const TempFolder& source, const std::string& archivePath, const std::vector<SourceFile>& files,
                 const std::string& password, RecordingListener* listener = nullptr, std::string* error = nullptr) {
  ZipArchive zip(listener);
  zip.NewArchive(archivePath);
  for (const SourceFile& file : files) {
    if (!WriteFileBytes(source.File(file.name), file.content)) return false;
    zip.AppendPath(source.File(file.name));
  }
  if (!password.empty()) zip.ArchivePassword(password);
  zip.EncryptionMode(password.empty() ? 0 : 1);
  bool written = zip.WriteArchive();
  if (error) *error = zip.LastError();
  zip.CloseArchive();
  return written;
}

bool ExtractOne(ZipArchive& zip, const std::string& name, const std::string& folder) {
  std::optional<ArchiveEntry> entry = zip.FindEntry(name);
  return entry && entry->ExtractToFolder(folder);
}

class ArchiveRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(ArchiveRoundTrip, EveryFileComesBackUnderItsOwnName) {
  const std::string password = GetParam();
  TempFolder source, target, restored;
  const std::string archivePath = target.File("backup.soe");
  RecordingListener writing;
  std::string error;
  ASSERT_TRUE(WriteBackup(source, archivePath, MailboxFiles(), password, &writing, &error)) << error;

  std::vector<std::string> expected;
  for (const SourceFile& file : MailboxFiles()) expected.push_back("add " + file.name);
  expected.push_back("done");
  EXPECT_THAT(writing.events, ElementsAreArray(expected));
  ASSERT_FALSE(writing.percents.empty());
  EXPECT_EQ(writing.percents.front(), 0);
  EXPECT_EQ(writing.percents.back(), 100);
  EXPECT_TRUE(std::is_sorted(writing.percents.begin(), writing.percents.end()));
  EXPECT_THAT(FolderListing(target.path()), ElementsAre("backup.soe"));  // no temporary file left

  RecordingListener reading;
  ZipArchive zip(&reading);
  EXPECT_EQ(zip.IsArchiveProtected(archivePath), password.empty() ? 0 : 1);
  ASSERT_TRUE(zip.OpenArchive(archivePath)) << zip.LastError();
  zip.ReadPassword(password);
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  for (const SourceFile& file : MailboxFiles()) {
    ASSERT_TRUE(ExtractOne(zip, file.name, restored.path())) << file.name << ": " << zip.LastError();
    EXPECT_EQ(ReadFileBytes(restored.File(file.name)), file.content) << file.name;
  }
  EXPECT_EQ(reading.events.size(), MailboxFiles().size());
  EXPECT_EQ(reading.events.front(), "extract Inbox.dbx");
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutPassword, ArchiveRoundTrip, ::testing::Values("", "s3cret pass"));

TEST(ArchiveWrite, EntriesAreFlatUtf8NamedDeflatedAndAesProtected) {
  TempFolder source, target;
  ASSERT_TRUE(WriteBackup(source, target.File("p.soe"), MailboxFiles(), "pw"));
  ASSERT_TRUE(WriteBackup(source, target.File("u.soe"), MailboxFiles(), ""));

  for (const CentralEntry& entry : CentralDirectory(ReadFileBytes(target.File("p.soe")))) {
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(entry.flags & 1, 1);  // encrypted
    EXPECT_EQ(entry.method, 99);    // WinZip AES
    std::string aes = ExtraField(entry.extra, 0x9901);
    ASSERT_EQ(aes.size(), 7u);
    EXPECT_EQ(aes.substr(0, 4), std::string("\x02\x00" "AE", 4));  // AE-2
    EXPECT_EQ(aes[4], 3);                                           // 256-bit key
    EXPECT_EQ(aes.substr(5, 2), std::string("\x08\x00", 2));        // deflated underneath
  }
  std::vector<std::string> names;
  for (const CentralEntry& entry : CentralDirectory(ReadFileBytes(target.File("u.soe")))) {
    names.push_back(entry.name);
    EXPECT_EQ(entry.flags & 1, 0);
    EXPECT_EQ(entry.method, 8);
    bool ascii = std::all_of(entry.name.begin(), entry.name.end(), [](char c) { return (c & 0x80) == 0; });
    EXPECT_EQ((entry.flags & 0x800) != 0, !ascii) << entry.name;
  }
  EXPECT_THAT(names, ElementsAre("Inbox.dbx", "empty.dat", kGermanNameUtf8, "tiny.txt", "quarnel.dat"));
}

TEST(ArchiveWrite, LaterFileOfTheSameNameTakesTheEarlierOnesPlace) {
  TempFolder one, two, target, restored;
  WriteFileBytes(one.File("quarnel.dat"), "from a stationery folder");
  WriteFileBytes(two.File("quarnel.dat"), "the information file");
  ZipArchive zip;
  zip.NewArchive(target.File("b.soe"));
  EXPECT_TRUE(zip.AppendPath(one.File("quarnel.dat")));
  EXPECT_TRUE(zip.AppendPath(two.File("quarnel.dat")));
  zip.EncryptionMode(0);
  ASSERT_TRUE(zip.WriteArchive()) << zip.LastError();
  EXPECT_EQ(CentralDirectory(ReadFileBytes(target.File("b.soe"))).size(), 1u);
  ASSERT_TRUE(zip.OpenArchive(target.File("b.soe")));
  ASSERT_TRUE(ExtractOne(zip, "quarnel.dat", restored.path()));
  EXPECT_EQ(ReadFileBytes(restored.File("quarnel.dat")), "the information file");
}

TEST(ArchiveWrite, AnArchiveWithoutFilesIsAValidEmptyZip) {
  TempFolder target;
  RecordingListener listener;
  ZipArchive zip(&listener);
  zip.NewArchive(target.File("empty.soe"));
  ASSERT_TRUE(zip.WriteArchive()) << zip.LastError();
  EXPECT_THAT(listener.events, ElementsAre("done"));
  ASSERT_TRUE(zip.OpenArchive(target.File("empty.soe"))) << zip.LastError();
  EXPECT_FALSE(zip.FindEntry("quarnel.dat"));
}

// Each failure: false, no completion event, the older archive intact, nothing left over.
class ArchiveWriteFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(target.File("b.soe"), "the previous backup");
    WriteFileBytes(source.File("Inbox.dbx"), MailLikeText(100000, 3));
    zip.NewArchive(target.File("b.soe"));
    zip.AppendPath(source.File("Inbox.dbx"));
  }
  void ExpectNothingChanged() {
    EXPECT_THAT(listener.events, ::testing::Not(::testing::Contains("done")));
    EXPECT_FALSE(zip.LastError().empty());
    EXPECT_EQ(ReadFileBytes(target.File("b.soe")), "the previous backup");
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));
  }

  TempFolder source, target;
  RecordingListener listener;
  ZipArchive zip{&listener};
};

TEST_F(ArchiveWriteFailure, SourceFileVanished) {
  zip.AppendPath(source.File("Deleted Items.dbx"));
  EXPECT_FALSE(zip.WriteArchive());
  ExpectNothingChanged();
}

TEST_F(ArchiveWriteFailure, SourceIsAFolder) {
  ASSERT_TRUE(platform::Files().CreateFolder(source.File("Folders.dbx")));
  zip.AppendPath(source.File("Folders.dbx"));
  EXPECT_FALSE(zip.WriteArchive());
  ExpectNothingChanged();
}

TEST_F(ArchiveWriteFailure, TargetFolderMissing) {
  zip.NewArchive(target.File("missing") + (target.path().find('\\') != std::string::npos ? "\\" : "/") + "b.soe");
  zip.AppendPath(source.File("Inbox.dbx"));
  EXPECT_FALSE(zip.WriteArchive());
  ExpectNothingChanged();
}

// Refused before any file is touched (libzip would refuse an empty password too, but only
// once it has read every file).
TEST_F(ArchiveWriteFailure, ProtectionAskedForWithoutPassword) {
  testing::FaultyFiles files;
  zip.EncryptionMode(1);
  {
    platform::ScopedServices scope({.files = &files});
    EXPECT_FALSE(zip.WriteArchive());
  }
  EXPECT_EQ(zip.LastError(), "No password for a protected archive");
  EXPECT_THAT(files.calls, IsEmpty());
  EXPECT_THAT(listener.events, IsEmpty());
  ExpectNothingChanged();
}

TEST_F(ArchiveWriteFailure, NothingBegun) {
  zip.CloseArchive();
  EXPECT_FALSE(zip.WriteArchive());
  EXPECT_FALSE(zip.AppendPath(source.File("Inbox.dbx")));
  ExpectNothingChanged();
}

class ArchiveReading : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteBackup(source, target.File("p.soe"), MailboxFiles(), "right"));
    ASSERT_TRUE(WriteBackup(source, target.File("u.soe"), MailboxFiles(), ""));
  }

  TempFolder source, target;
  testing::LiveFolder restored;
  ZipArchive zip;
};

TEST_F(ArchiveReading, WrongOrEmptyPasswordIsRefusedAndExtractsNothing) {
  ASSERT_TRUE(zip.OpenArchive(target.File("p.soe")));
  for (const std::string password : {"wrong", "", "righ", "right "}) {
    zip.ReadPassword(password);
    EXPECT_EQ(zip.CheckPassword(), 0) << password;
    EXPECT_FALSE(ExtractOne(zip, "Inbox.dbx", restored.path())) << password;
    restored.ExpectUntouched();
  }
  zip.ReadPassword("right");
  EXPECT_EQ(zip.CheckPassword(), 1);
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
}

TEST(ArchiveTraditionalProtection, WhenOnlyEmptyEntriesAreProtectedEveryOneIsTried) {
  TempFolder work;
  const std::string archive = work.File("zip.soe");
  ASSERT_TRUE(MakeTraditionallyProtectedZip(archive, {{"a.dat", ""}, {"b.dat", ""}}, "right", "wrong", 1));
  ZipArchive zip;
  ASSERT_TRUE(zip.OpenArchive(archive)) << zip.LastError();
  zip.ReadPassword("right");
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  zip.ReadPassword("wrong");  // passes a.dat's verifier, not b.dat's
  EXPECT_EQ(zip.CheckPassword(), 0);
}

TEST_F(ArchiveReading, PasswordCheckNeedsAnOpenArchiveButNoPasswordForAPlainOne) {
  EXPECT_EQ(zip.CheckPassword(), 0);
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));
  EXPECT_EQ(zip.CheckPassword(), 1);
  zip.CloseArchive();
  EXPECT_EQ(zip.CheckPassword(), 0);
}

TEST_F(ArchiveReading, ProtectionTestLeavesTheOpenArchiveAlone) {
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));
  EXPECT_EQ(zip.IsArchiveProtected(target.File("p.soe")), 1);
  EXPECT_EQ(zip.IsArchiveProtected(target.File("none.soe")), 0);
  ASSERT_TRUE(ExtractOne(zip, "tiny.txt", restored.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File("tiny.txt")), "x");
}

TEST_F(ArchiveReading, ExtractionReplacesTheLiveFile) {
  ASSERT_TRUE(zip.OpenArchive(target.File("p.soe")));
  zip.ReadPassword("right");
  ASSERT_TRUE(ExtractOne(zip, "Inbox.dbx", restored.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), MailLikeText(300000, 1));
  EXPECT_THAT(FolderListing(restored.path()), ElementsAre("Inbox.dbx"));
}

TEST_F(ArchiveReading, DamagedContentLeavesTheLiveFileUntouched) {
  for (const char* name : {"u.soe", "p.soe"}) {
    std::string bytes = ReadFileBytes(target.File(name));
    bytes[1000] = static_cast<char>(bytes[1000] ^ 0x55);  // inside Inbox.dbx's data
    WriteFileBytes(target.File(name), bytes);
    ASSERT_TRUE(zip.OpenArchive(target.File(name))) << zip.LastError();
    zip.ReadPassword("right");
    EXPECT_FALSE(ExtractOne(zip, "Inbox.dbx", restored.path())) << name;
    restored.ExpectUntouched();
  }
}

TEST_F(ArchiveReading, EntryOfAClosedArchiveExtractsNothing) {
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));
  std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
  ASSERT_TRUE(entry);
  zip.CloseArchive();
  EXPECT_FALSE(entry->ExtractToFolder(restored.path()));
  ASSERT_TRUE(zip.OpenArchive(target.File("p.soe")));
  EXPECT_FALSE(entry->ExtractToFolder(restored.path()));
  restored.ExpectUntouched();
}

TEST_F(ArchiveReading, MissingFolderOrEntry) {
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));
  EXPECT_FALSE(zip.FindEntry("Outbox.dbx"));
  EXPECT_FALSE(zip.FindEntry("inbox.dbx"));
  EXPECT_FALSE(ExtractOne(zip, "Inbox.dbx", restored.File("nowhere")));
  restored.ExpectUntouched();
}

TEST(ArchiveNames, NamesWithoutTheUtf8FlagAreFoundByTheirBytes) {
  TempFolder target, restored;
  ASSERT_TRUE(MakeZipDirectly(target.File("old.soe"), {{kGermanName, "old mail"}, {"Inbox.dbx", "in"}}));
  std::vector<testing::CentralEntry> entries = CentralDirectory(ReadFileBytes(target.File("old.soe")));
  ASSERT_EQ(entries.size(), 2u);
  ASSERT_EQ(entries[0].flags & 0x800, 0);

  ZipArchive zip;
  ASSERT_TRUE(zip.OpenArchive(target.File("old.soe")));
  ASSERT_TRUE(ExtractOne(zip, kGermanName, restored.path())) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File(kGermanName)), "old mail");
}

}  // namespace
}  // namespace quarnel::archive
