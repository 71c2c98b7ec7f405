// Deflating in blocks on worker threads: files whose last block is full, one byte or one
// byte short come back whole; the archive has the same bytes however many workers deflate
// it, and the same guarantees as one stream.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/BlockDeflate.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/FaultyFiles.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using detail::kDeflateBlockSize;
using testing::FaultyFiles;
using testing::FileCall;
using testing::FolderListing;
using testing::Incompressible;
using testing::MailLikeText;
using testing::ReadFileBytes;
using testing::RecordingListener;
using testing::TempFolder;
using testing::WriteFileBytes;

constexpr std::size_t B = kDeflateBlockSize;

// Text of one short random piece over and over: every block edge falls inside a repeat, so
// only the primed blocks find their matches in the block before.
std::string Repetitive(std::size_t size) {
  const std::string piece = Incompressible(20000);
  std::string out;
  while (out.size() < size) out += piece;
  out.resize(size);
  return out;
}

class BlockArchive : public ::testing::Test {
 protected:
  void SetUp() override {
    contents = {{"Inbox.dbx", MailLikeText(4 * B, 11)},        // exactly the smallest file deflated in blocks
                {"Sent Items.dbx", Repetitive(6 * B + 1)},     // a last block of one byte
                {"photo.jpg", Incompressible(5 * B - 1)},
                {"Drafts.dbx", MailLikeText(4 * B - 1, 12)},   // the largest deflated as one stream
                {"Gel\xF6schte Objekte.dbx", MailLikeText(5000, 2)},  // ANSI, stored as UTF-8
                {"empty.dat", ""},
                {"quarnel.dat", "BackupIdentity=Main Identity\r\n"}};
    for (const auto& [name, content] : contents) WriteFileBytes(source.File(name), content);
    WriteFileBytes(target.File("b.soe"), "the previous backup");
  }

  bool Write(const std::string& name, int workers, const std::string& password = "", bool verify = true) {
    zip.NewArchive(target.File(name));
    for (const auto& file : contents) zip.AppendPath(source.File(file.first));
    zip.ArchivePassword(password);
    zip.EncryptionMode(password.empty() ? 0 : 1);
    zip.VerifyAfterWrite(verify);
    zip.DeflateWorkers(workers);
    return zip.WriteArchive();
  }

  std::vector<std::pair<std::string, std::string>> contents;
  TempFolder source, target;
  RecordingListener listener;
  ZipArchive zip{&listener};
};

// Every file comes back under its own name, protected or not; the events arrive in order on
// the caller's thread; no temporary file is left.
TEST_F(BlockArchive, RoundTripsProtectedAndNotWithTheEventsOnTheCallersThread) {
  for (const std::string password : {"", "s3cret pass"}) {
    SCOPED_TRACE(password);
    listener = RecordingListener();
    ASSERT_TRUE(Write("b.soe", 3, password)) << zip.LastError();
    EXPECT_EQ(zip.ArchivePassword(), "");  // forgotten once used
    std::vector<std::string> expected;
    for (const auto& file : contents) expected.push_back("add " + file.first);
    expected.insert(expected.end(), {"verify", "done"});
    EXPECT_THAT(listener.events, ElementsAreArray(expected));
    EXPECT_EQ(listener.percents.front(), 0);
    EXPECT_EQ(listener.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(listener.percents.begin(), listener.percents.end()));
    EXPECT_THAT(listener.threads, ::testing::Each(testing::CurrentThread()));
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));

    RecordingListener reading;
    ZipArchive reader(&reading);
    EXPECT_EQ(reader.IsArchiveProtected(target.File("b.soe")), password.empty() ? 0 : 1);
    ASSERT_TRUE(reader.OpenArchive(target.File("b.soe"))) << reader.LastError();
    reader.ReadPassword(password);
    ASSERT_EQ(reader.CheckPassword(), 1) << reader.LastError();
    TempFolder restored;
    for (const auto& [file, content] : contents) {
      std::optional<ArchiveEntry> entry = reader.FindEntry(file);
      ASSERT_TRUE(entry && entry->ExtractToFolder(restored.path())) << file << ": " << reader.LastError();
      EXPECT_TRUE(ReadFileBytes(restored.File(file)) == content) << file;
    }
    EXPECT_EQ(reading.events.size(), contents.size());
  }
}

// However many workers the caller or the system's processor count asks for (one processor:
// one stream), every run gives the same bytes; blocks cost under 1% in size.
TEST_F(BlockArchive, TheArchiveIsTheSameForAnyNumberOfWorkersAndAboutAsSmallAsOneStream) {
  testing::OverrideSystem system(source.path());
  platform::ScopedServices scope({.system = &system});
  ASSERT_TRUE(Write("blocks.soe", 1)) << zip.LastError();
  ASSERT_TRUE(Write("stream.soe", ZipArchive::kOneStream)) << zip.LastError();
  const std::string blocks = ReadFileBytes(target.File("blocks.soe"));
  const std::string stream = ReadFileBytes(target.File("stream.soe"));
  EXPECT_FALSE(stream == blocks);
  EXPECT_LT(static_cast<double>(blocks.size()), stream.size() * 1.01);
  for (const auto& [workers, processors] : {std::pair{2, 1}, {5, 1}, {ZipArchive::kOnePerProcessor, 1},
                                             {ZipArchive::kOnePerProcessor, 2}, {ZipArchive::kOnePerProcessor, 4}}) {
    system.processors = processors;
    ASSERT_TRUE(Write("b.soe", workers)) << zip.LastError();
    const bool oneStream = workers == ZipArchive::kOnePerProcessor && processors == 1;
    EXPECT_TRUE(ReadFileBytes(target.File("b.soe")) == (oneStream ? stream : blocks))
        << workers << " workers, " << processors << " processors";
  }
}

// A mail folder that cannot be read to its end (a bad sector, a network drive gone) while
// the workers deflate what came before: the write fails as a whole and the old backup stays.
TEST_F(BlockArchive, AReadErrorInTheMiddleOfAFileKeepsTheOldBackup) {
  for (const auto& [password, passing] : {std::pair{"", 0}, {"", 5}, {"pw", 1}, {"pw", 3}}) {
    SCOPED_TRACE(::testing::Message() << password << " after " << passing << " reads");
    FaultyFiles files;
    files.Fail(FileCall::ReadInput, "Sent Items.dbx", passing);
    platform::ScopedServices scope({.files = &files});
    listener = RecordingListener();
    EXPECT_FALSE(Write("b.soe", 2, password));
    EXPECT_THAT(zip.LastError(), HasSubstr("Cannot read the file \"" + source.File("Sent Items.dbx") + "\""));
    EXPECT_THAT(listener.events, Not(Contains("done")));
    EXPECT_EQ(ReadFileBytes(target.File("b.soe")), "the previous backup");
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));
  }
}

}  // namespace
}  // namespace quarnel::archive
