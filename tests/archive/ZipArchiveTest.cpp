#include "archive/ZipArchive.h"

#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
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
using testing::RecordingListener;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kGermanName = "Gel\xF6schte Objekte.dbx";  // ANSI (Windows-1252)

bool ExtractOne(ZipArchive& zip, const std::string& name, const std::string& folder) {
  std::optional<ArchiveEntry> entry = zip.FindEntry(name);
  return entry && entry->ExtractToFolder(folder);
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
  zip.ArchivePassword("s3cret");
  zip.CloseArchive();
  EXPECT_EQ(zip.ArchivePassword(), "");  // forgotten with the archive, written or not
  zip.NewArchive(target.File("empty.soe"));
  ASSERT_TRUE(zip.WriteArchive()) << zip.LastError();
  EXPECT_THAT(listener.events, ElementsAre("done"));
  ASSERT_TRUE(zip.OpenArchive(target.File("empty.soe"))) << zip.LastError();
  EXPECT_FALSE(zip.FindEntry("quarnel.dat"));
}

struct WriteFailure {
  const char* what;
  std::function<void(ZipArchive&, const TempFolder&)> cause;
  const char* reported;
};

// Each refused before anything is written or announced: the older archive stays as it was.
TEST(ArchiveWrite, FailuresKeepTheOldBackupAndLeaveNothingOver) {
  const WriteFailure failures[] = {
      {"a file vanished", [](ZipArchive& zip, const TempFolder& s) { zip.AppendPath(s.File("Deleted Items.dbx")); },
       "it is missing or is not a file"},
      {"a file is a folder",
       [](ZipArchive& zip, const TempFolder& s) {
         ASSERT_TRUE(platform::Files().CreateFolder(s.File("Folders.dbx")));
         zip.AppendPath(s.File("Folders.dbx"));
       },
       "it is missing or is not a file"},
      // libzip would refuse an empty password too, but only once it has read every file.
      {"protection without a password", [](ZipArchive& zip, const TempFolder&) { zip.EncryptionMode(1); },
       "No password for a protected archive"},
      {"nothing begun",
       [](ZipArchive& zip, const TempFolder& s) {
         zip.CloseArchive();
         EXPECT_FALSE(zip.AppendPath(s.File("Inbox.dbx")));
       },
       "No archive has been begun"},
  };
  for (const WriteFailure& failure : failures) {
    SCOPED_TRACE(failure.what);
    TempFolder source, target;
    RecordingListener listener;
    ZipArchive zip(&listener);
    WriteFileBytes(target.File("b.soe"), "the previous backup");
    WriteFileBytes(source.File("Inbox.dbx"), MailLikeText(100000, 3));
    zip.NewArchive(target.File("b.soe"));
    zip.AppendPath(source.File("Inbox.dbx"));
    failure.cause(zip, source);
    EXPECT_FALSE(zip.WriteArchive());
    EXPECT_THAT(zip.LastError(), HasSubstr(failure.reported));
    EXPECT_THAT(listener.events, IsEmpty());
    EXPECT_EQ(ReadFileBytes(target.File("b.soe")), "the previous backup");
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));
  }
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
// archive extracts nothing.
TEST(ArchiveReading, AnOpenPlainArchiveExtractsOverTheLiveFile) {
  TempFolder target;
  testing::LiveFolder restored;
  const std::vector<testing::RawEntry> files = {{"Inbox.dbx", MailLikeText(300000, 1)}, {kGermanName, "old mail"}};
  ASSERT_TRUE(MakeZipDirectly(target.File("p.soe"), files, "right", ZIP_EM_AES_256));
  ASSERT_TRUE(MakeZipDirectly(target.File("u.soe"), files));
  ASSERT_EQ(CentralDirectory(ReadFileBytes(target.File("u.soe"))).at(1).flags & 0x800, 0);
  ZipArchive zip;
  EXPECT_EQ(zip.CheckPassword(), 0);  // nothing open
  ASSERT_TRUE(zip.OpenArchive(target.File("u.soe")));
  EXPECT_EQ(zip.CheckPassword(), 1);
  EXPECT_EQ(zip.IsArchiveProtected(target.File("p.soe")), 1);
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
  ASSERT_TRUE(zip.OpenArchive(target.File("p.soe")));
  EXPECT_FALSE(entry->ExtractToFolder(restored.path()));
  EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), "the live mail folder");
}

}  // namespace
}  // namespace quarnel::archive
