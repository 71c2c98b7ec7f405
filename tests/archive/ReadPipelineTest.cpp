// Reading entries with the stages overlapping on threads: the same bytes as one thread, and
// every stage's failure (a read error, an authentication code, a deflate stream or a stated
// size that does not check out, a sink that refuses) at the start, middle and end of a large
// entry ends the read as failed with that stage's reason, and never hangs.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/EntryReader.h"
#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace quarnel::archive {
namespace {

using ::testing::Contains;
using ::testing::Each;
using ::testing::HasSubstr;
using ::testing::Not;
using detail::ReadMode;
using testing::CentralDirectory;
using testing::CurrentThread;
using testing::DataAt;
using testing::ReadFileBytes;
using testing::TempFolder;

const std::string kPassword = "Kennwort \xE4 2005";
const char kReadFault[] = "the disk could not be read";

// Passes the real stored data on, failing once `failAt` bytes have been read or at the end,
// and notes the thread of every read.
class FailingData : public detail::StoredData {
 public:
  FailingData(std::unique_ptr<detail::StoredData> inner, std::uint64_t failAt)
      : inner_(std::move(inner)), failAt_(failAt) {}
  std::int64_t Read(unsigned char* data, std::size_t size, std::string* message) override {
    threads.push_back(CurrentThread());
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, failAt_ - given_));
    std::int64_t n = given_ < failAt_ ? inner_->Read(data, wanted, message) : 0;
    if (n == 0 && failAt_ != kNever) {
      *message = kReadFault;
      return -1;
    }
    if (n > 0) given_ += n;
    return n;
  }
  bool Close(std::string* message) override { return inner_->Close(message); }

  static constexpr std::uint64_t kNever = ~0ull;
  std::vector<std::uint64_t> threads;

 private:
  std::unique_ptr<detail::StoredData> inner_;
  std::uint64_t failAt_, given_ = 0;
};

class ReadPipeline : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TempFolder;
    // A mail folder deflated in blocks, with an attachment's incompressible bytes inside.
    files = {{"Inbox.dbx", testing::MailLikeText(1 << 20, 5) + testing::Incompressible(700000) +
                               testing::MailLikeText(1500000, 6)},
             {"\xDC" "bersicht; 2005.dbx", testing::MailLikeText(90000, 7)},
             {"Deleted Items.dbx", ""}};
    for (const std::string password : {"", kPassword.c_str()}) {
      ZipArchive zip;
      zip.NewArchive(folder->File(password.empty() ? "plain.soe" : "protected.soe"));
      for (const auto& [name, content] : files) {
        ASSERT_TRUE(testing::WriteFileBytes(folder->File(name), content));
        zip.AppendPath(folder->File(name));
      }
      zip.ArchivePassword(password);
      zip.EncryptionMode(password.empty() ? 0 : 1);
      zip.DeflateWorkers(2);
      ASSERT_TRUE(zip.WriteArchive()) << zip.LastError();
    }
    // Stored under AES: a changed byte is found by the authentication code alone.
    ASSERT_TRUE(testing::MakeZipDirectly(folder->File("stored.zip"), {{"photo.jpg", files[0].second, true}},
                                         kPassword, ZIP_EM_AES_256));
  }
  static void TearDownTestSuite() { delete folder; }

  // Reads entry `index` of the archive bytes; failAt as for FailingData.
  bool Read(const std::string& bytes, zip_uint64_t index, const std::string& password, ReadMode mode,
            const detail::ChunkSink& sink, std::uint64_t failAt = FailingData::kNever) {
    TempFolder work;
    testing::WriteFileBytes(work.File("a.zip"), bytes);
    std::string ignored;
    zip_t* archive = detail::OpenZip(work.File("a.zip"), ZIP_RDONLY, &ignored);
    EXPECT_NE(archive, nullptr);
    zip_stat_t st;
    std::unique_ptr<detail::StoredData> inner = detail::OpenStoredData(archive, index, password, &st, &message);
    bool read = false;
    if (inner) {
      data = std::make_unique<FailingData>(std::move(inner), failAt);
      read = detail::ReadContent(*data, st, sink, mode, &message);
      readThreads = data->threads;
      data.reset();
    }
    zip_discard(archive);
    return read;
  }

  static TempFolder* folder;
  static std::vector<std::pair<std::string, std::string>> files;
  std::unique_ptr<FailingData> data;
  std::vector<std::uint64_t> readThreads;
  std::string message;
};
TempFolder* ReadPipeline::folder;
std::vector<std::pair<std::string, std::string>> ReadPipeline::files;

struct Way {
  ReadMode mode;
  int processors;
  bool threaded;  // the stored data is read on a thread of its own
};

// The sink is always called on the caller's thread (the extraction reports from there).
TEST_F(ReadPipeline, EveryWayGivesTheBytesOfTheFileAndOneProcessorOneThread) {
  testing::OverrideSystem system(folder->path());
  platform::ScopedServices scope({.system = &system});
  const Way ways[] = {{ReadMode::kOneThread, 2, false}, {ReadMode::kStages, 1, true},
                      {ReadMode::kByProcessors, 1, false}, {ReadMode::kByProcessors, 2, true}};
  for (const char* archive : {"plain.soe", "protected.soe", "stored.zip"}) {
    const std::string bytes = ReadFileBytes(folder->File(archive));
    const std::string password = std::string(archive) == "plain.soe" ? "" : kPassword;
    for (zip_uint64_t i = 0; i < CentralDirectory(bytes).size(); ++i) {
      for (const Way& way : ways) {
        SCOPED_TRACE(::testing::Message() << archive << " entry " << i << " mode " << int(way.mode) << " on "
                                          << way.processors);
        system.processors = way.processors;
        std::string content;
        std::vector<std::uint64_t> sinkThreads;
        EXPECT_TRUE(Read(bytes, i, password, way.mode, [&](const char* d, std::size_t n) {
          sinkThreads.push_back(CurrentThread());
          content.append(d, n);
          return true;
        })) << message;
        EXPECT_TRUE(content == files[i].second);
        EXPECT_THAT(sinkThreads, Each(CurrentThread()));
        if (way.threaded) {
          EXPECT_THAT(readThreads, Not(Contains(CurrentThread())));
        } else {
          EXPECT_THAT(readThreads, Each(CurrentThread()));
        }
      }
    }
  }
}

// kStatedSize: the content inflates past the size its entry states (by the rest of the
// content at the start, by one byte at the end); not one byte more than stated is handed on.
enum class Stage { kRead, kAuthentication, kInflate, kSink, kStatedSize };

TEST_F(ReadPipeline, EveryStagesFailureAnywhereFailsTheRead) {
  const std::string content = files[0].second;
  for (Stage stage : {Stage::kRead, Stage::kAuthentication, Stage::kInflate, Stage::kSink, Stage::kStatedSize}) {
    for (double at : {0.0, 0.5, 1.0}) {
      for (ReadMode mode : {ReadMode::kOneThread, ReadMode::kStages}) {
        SCOPED_TRACE(::testing::Message() << "stage " << int(stage) << " at " << at << " mode " << int(mode));
        std::string bytes = ReadFileBytes(folder->File(stage == Stage::kAuthentication ? "stored.zip" : "plain.soe"));
        const testing::CentralEntry entry = CentralDirectory(bytes).at(0);
        const std::size_t data = DataAt(bytes, entry);
        const std::string end(std::string("\0\0\xff\xff", 4));
        std::size_t stated = content.size();
        if (stage == Stage::kAuthentication) {  // a byte of the content, or of the code after it
          bytes[data + 18 + static_cast<std::size_t>(at * (entry.compressedSize - 18 - 1))] ^= 0x20;
        } else if (stage == Stage::kInflate) {  // a block after a sync flush that is no deflate block
          const std::size_t from = data + static_cast<std::size_t>(at * entry.compressedSize);
          std::size_t flush = at < 1 ? bytes.find(end, from) : bytes.rfind(end, data + entry.compressedSize);
          ASSERT_LT(flush, data + entry.compressedSize);
          bytes[flush + 4] = '\xff';
        } else if (stage == Stage::kStatedSize) {
          stated = static_cast<std::size_t>(at * (content.size() - 1));
          testing::SetStatedSize(bytes, entry, static_cast<std::uint32_t>(stated));
        }
        const std::uint64_t failAt =
            stage == Stage::kRead ? static_cast<std::uint64_t>(at * entry.compressedSize) : FailingData::kNever;
        std::size_t received = 0, callsAfterRefusal = 0;
        bool refused = false;
        auto sink = [&](const char*, std::size_t n) {
          callsAfterRefusal += refused;
          received += n;
          refused = refused || (stage == Stage::kSink && received >= at * content.size());
          return !refused;
        };
        const std::string password = stage == Stage::kAuthentication ? kPassword : "";
        EXPECT_FALSE(Read(bytes, 0, password, mode, sink, failAt));
        const char* reasons[] = {kReadFault, "authentication", "damaged", "could not be written", "longer"};
        EXPECT_THAT(message, HasSubstr(reasons[static_cast<int>(stage)]));
        EXPECT_EQ(callsAfterRefusal, 0u);
        EXPECT_LE(received, stated);
      }
    }
  }
}

#ifndef _WIN32
// The disk fills up (here: the process may write no further into any file) at the start, the
// middle or the end of an extraction whose stages overlap.
TEST_F(ReadPipeline, ADiskFillingUpDuringAnExtractionLeavesTheLiveFileAndNoTemporaryFile) {
  std::signal(SIGXFSZ, SIG_IGN);
  for (rlim_t limit : {rlim_t{0}, rlim_t{1} << 20, rlim_t(files[0].second.size() - 1)}) {
    SCOPED_TRACE(limit);
    testing::LiveFolder restored;
    ZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(folder->File("protected.soe")));
    zip.ReadPassword(kPassword);
    std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
    ASSERT_TRUE(entry);
    rlimit before;
    getrlimit(RLIMIT_FSIZE, &before);
    rlimit full = before;
    full.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &full);
    const bool extracted = entry->ExtractToFolder(restored.path());
    setrlimit(RLIMIT_FSIZE, &before);
    EXPECT_FALSE(extracted);
    EXPECT_THAT(zip.LastError(), Not(HasSubstr("authentication")));
    restored.ExpectUntouched();
  }
  std::signal(SIGXFSZ, SIG_DFL);
}
#endif

}  // namespace
}  // namespace quarnel::archive
