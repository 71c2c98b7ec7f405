// What extraction refuses before it reads or writes anything, and how soon it stops when
// an entry's content turns out longer than it said.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/EntryReader.h"
#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/FaultyFiles.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;
using testing::FaultyFiles;
using testing::FileCall;
using testing::FolderListing;
using testing::MailLikeText;
using testing::MakeZipDirectly;
using testing::ReadFileBytes;
using testing::RecordingListener;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kPassword = "pw";

class ExtractionGuard : public ::testing::Test {
 protected:
  void Open(const std::string& archive, const std::string& password = kPassword) {
    ASSERT_TRUE(zip.OpenArchive(archive)) << zip.LastError();
    zip.ReadPassword(password);
  }

  // Extracts through the faulty files seam.
  bool Extract(const std::string& name) {
    std::optional<ArchiveEntry> entry = zip.FindEntry(name);
    EXPECT_TRUE(entry) << name;
    platform::ScopedServices scope({.files = &files});
    return entry && entry->ExtractToFolder(restored.path());
  }


  TempFolder work;
  testing::LiveFolder restored;
  FaultyFiles files;
  RecordingListener listener;
  ZipArchive zip{&listener};
};

// Each name is refused before any file is touched, any entry decrypted or any extraction
// announced, whatever the folder would make of it (which names: EntryNamesTest).
TEST_F(ExtractionGuard, NamesWindowsWouldReinterpretAreRefusedBeforeAnythingIsTouched) {
  const std::vector<std::string> names = {"CON", "com9.dbx", "Inbox.dbx. .", "In\tbox.dbx", "in|box.dbx",
                                          "..\\boot.ini", "../up.dbx", "C:x.dbx", "sub\\x.dbx", "x.dbx:stream"};
  std::vector<testing::RawEntry> entries = {{"x.dbx", "payload"}};
  for (const std::string& name : names) entries.push_back({name, "payload"});
  ASSERT_TRUE(MakeZipDirectly(work.File("evil.soe"), entries, kPassword, ZIP_EM_AES_256));
  Open(work.File("evil.soe"));
  for (const std::string& name : names) {
    EXPECT_FALSE(Extract(name)) << name;
    EXPECT_THAT(zip.LastError(), StartsWith("Refused entry name")) << name;
  }
  EXPECT_THAT(files.calls, IsEmpty());
  EXPECT_THAT(listener.events, IsEmpty());
  std::optional<ArchiveEntry> withNul = zip.FindEntry(std::string("x.dbx\0.txt", 10));
  EXPECT_TRUE(!withNul || !withNul->ExtractToFolder(restored.path()));
  std::optional<ArchiveEntry> empty = zip.FindEntry("");
  EXPECT_TRUE(!empty || !empty->ExtractToFolder(restored.path()));
  restored.ExpectUntouched();
  EXPECT_THAT(FolderListing(work.path()), ElementsAre("evil.soe"));
}

TEST_F(ExtractionGuard, AnEntryLargerThanTheFreeSpaceIsRefusedBeforeAnythingIsWritten) {
  const std::string content = MailLikeText(300000, 1);  // deflates to far less
  ASSERT_TRUE(MakeZipDirectly(work.File("b.soe"), {{"Inbox.dbx", content}}, kPassword, ZIP_EM_AES_256));
  Open(work.File("b.soe"));
  files.freeSpace = content.size() - 1;
  EXPECT_FALSE(Extract("Inbox.dbx"));
  EXPECT_THAT(zip.LastError(), HasSubstr("free"));
  EXPECT_THAT(listener.events, IsEmpty());
  for (FileCall call : {FileCall::FlushToDisk, FileCall::MoveReplace, FileCall::RemoveFile}) {
    EXPECT_THAT(files.PathsOf(call), IsEmpty());
  }
  restored.ExpectUntouched();

  files.freeSpace = content.size();
  ASSERT_TRUE(Extract("Inbox.dbx")) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), content);
}

// Mail that inflates past the size its entry states: not one byte more than stated is
// handed on, and the live file stays.
TEST_F(ExtractionGuard, ContentRunningPastItsStatedSizeStopsAtOnce) {
  constexpr std::uint32_t kStated = 1000;
  for (std::uint16_t method : {0, ZIP_EM_AES_256}) {
    SCOPED_TRACE(method);
    const std::string password = method ? kPassword : "";
    ASSERT_TRUE(MakeZipDirectly(work.File("b.soe"), {{"Inbox.dbx", MailLikeText(300000, 1)}}, password, method));
    std::string bytes = ReadFileBytes(work.File("b.soe"));
    testing::SetStatedSize(bytes, testing::CentralDirectory(bytes).at(0), kStated);
    WriteFileBytes(work.File("b.soe"), bytes);

    std::string message;
    zip_t* archive = detail::OpenZip(work.File("b.soe"), ZIP_RDONLY, &message);
    ASSERT_TRUE(archive) << message;
    std::size_t handedOn = 0;
    auto count = [&](const char*, std::size_t size) {
      handedOn += size;
      return true;
    };
    EXPECT_FALSE(detail::ReadEntryChecked(archive, 0, password, count, &message));
    zip_discard(archive);
    EXPECT_THAT(message, HasSubstr("longer"));
    EXPECT_LE(handedOn, kStated);

    Open(work.File("b.soe"), password);
    EXPECT_FALSE(Extract("Inbox.dbx"));
    restored.ExpectUntouched();
    zip.CloseArchive();  // Windows keeps an open file from being rewritten
  }
}

}  // namespace
}  // namespace quarnel::archive
