// Writing backups, deflated in blocks on worker threads or as one stream, and extracting
// them; and what a write or an extraction leaves behind when the disk lets it down (failures
// injected through the files seam), when the written archive does not read back, or when an
// entry is refused: the older file exactly as it was, and none of our temporary files.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/BlockDeflate.h"
#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/FaultyFiles.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace quarnel::archive {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using testing::CentralDirectory;
using testing::FaultyFiles;
using testing::FileCall;
using testing::FolderListing;
using testing::Incompressible;
using testing::MailLikeText;
using testing::ReadFileBytes;
using testing::RecordingListener;
using testing::TempFolder;
using testing::WriteFileBytes;

// All of a file's attributes (natively its permission bits).
std::uint32_t Attributes(const std::string& path) {
#ifdef _WIN32
  return GetFileAttributesA(path.c_str());
#else
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode : 0;
#endif
}

// Attributes besides read-only that a careless replace would lose.
void GiveOtherAttributes(const std::string& path) {
#ifdef _WIN32
  SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
#else
  chmod(path.c_str(), 0640);
#endif
}

// The temporary file the component flushed: named by its prefix, and removed again.
void ExpectTemporaryFileRemoved(const FaultyFiles& files) {
  std::vector<std::string> flushed = files.PathsOf(FileCall::FlushToDisk);
  ASSERT_EQ(flushed.size(), 1u);
  EXPECT_THAT(detail::BaseName(flushed[0]), StartsWith(kTemporaryPrefix));
  EXPECT_THAT(files.PathsOf(FileCall::RemoveFile), Contains(flushed[0]));
}

// Writes the files of `contents` from source over target's b.soe, "the previous backup",
// through the faulty files seam.
class ArchiveWriting : public ::testing::Test {
 protected:
  void Put(const std::vector<std::pair<std::string, std::string>>& files) {
    contents = files;
    for (const auto& [name, content] : contents) WriteFileBytes(source.File(name), content);
    WriteFileBytes(target.File("b.soe"), "the previous backup");
  }

  bool Write(const std::string& password = "", bool verify = false, int workers = ZipArchive::kOnePerProcessor,
             const std::string& name = "b.soe") {
    zip.NewArchive(target.File(name));
    for (const auto& file : contents) zip.AppendPath(source.File(file.first));
    zip.ArchivePassword(password);
    zip.EncryptionMode(password.empty() ? 0 : 1);
    zip.VerifyAfterWrite(verify);
    zip.DeflateWorkers(workers);
    platform::ScopedServices scope({.files = &files});
    return zip.WriteArchive();
  }

  void ExpectOldBackupKept() {
    EXPECT_THAT(listener.events, Not(Contains("done")));
    EXPECT_FALSE(zip.LastError().empty());
    EXPECT_EQ(ReadFileBytes(target.File("b.soe")), "the previous backup");
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));
  }

  std::vector<std::pair<std::string, std::string>> contents;
  TempFolder source, target;
  FaultyFiles files;
  RecordingListener listener;
  ZipArchive zip{&listener};
};

class SafeWrite : public ArchiveWriting {
 protected:
  void SetUp() override {
    Put({{"Inbox.dbx", MailLikeText(100000, 3)}, {"quarnel.dat", "BackupIdentity=Main Identity\r\n"}});
  }
};

// Each refused before anything is written or announced.
TEST_F(SafeWrite, FailuresBeforeTheWriteKeepTheOldBackupAndAnnounceNothing) {
  const struct {
    const char* what;
    std::function<void(ZipArchive&)> cause;
    const char* reported;
  } failures[] = {
      {"a file vanished", [&](ZipArchive& z) { z.AppendPath(source.File("Deleted Items.dbx")); },
       "it is missing or is not a file"},
      {"a file is a folder",
       [&](ZipArchive& z) {
         ASSERT_TRUE(platform::Files().CreateFolder(source.File("Folders.dbx")));
         z.AppendPath(source.File("Folders.dbx"));
       },
       "it is missing or is not a file"},
      // libzip would refuse an empty password too, but only once it has read every file.
      {"protection without a password", [](ZipArchive& z) { z.EncryptionMode(1); },
       "No password for a protected archive"},
  };
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.what);
    ZipArchive fresh(&listener);
    fresh.NewArchive(target.File("b.soe"));
    fresh.AppendPath(source.File("Inbox.dbx"));
    failure.cause(fresh);
    EXPECT_FALSE(fresh.WriteArchive());
    EXPECT_THAT(fresh.LastError(), HasSubstr(failure.reported));
    EXPECT_THAT(listener.events, IsEmpty());
    EXPECT_EQ(ReadFileBytes(target.File("b.soe")), "the previous backup");
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));
  }
}

// A failed replace also leaves the target's attributes (read-only or not) as they were:
// Windows refuses to move a file over a read-only one, so that attribute alone is cleared
// for the replace and put back when it fails all the same.
TEST_F(SafeWrite, AFailedFlushOrMoveKeepsTheOldBackupAndLeavesNoTemporaryFile) {
  const std::string path = target.File("b.soe");
  GiveOtherAttributes(path);
  for (FileCall call : {FileCall::FlushToDisk, FileCall::MoveReplace}) {
    for (bool readOnly : {false, true}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(call) << (readOnly ? " read-only" : ""));
      ASSERT_TRUE(platform::Files().SetReadOnly(path, readOnly));
      const std::uint32_t before = Attributes(path);
      files = FaultyFiles();
      files.refuseReadOnlyTargets = true;
      files.Fail(call);
      EXPECT_FALSE(Write("pw"));
      EXPECT_EQ(zip.ArchivePassword(), "");  // forgotten once used, even in vain
      ExpectOldBackupKept();
      ExpectTemporaryFileRemoved(files);
      EXPECT_EQ(Attributes(path), before);
    }
  }
  platform::Files().SetReadOnly(path, false);
}

struct Damage {
  const char* what;
  std::function<void(std::string&)> apply;
  const char* reported;
};

// The damage a disk or a driver may do between writing and reading; the read-back finds it
// and the old backup stays. Unchecked, the damaged archive would have replaced it.
TEST_F(SafeWrite, DamageFoundByTheReadBackKeepsTheOldBackup) {
  auto flipInEntry = [](std::size_t index) {
    return [index](std::string& bytes) {
      testing::CentralEntry entry = CentralDirectory(bytes).at(index);
      const std::size_t at = testing::DataAt(bytes, entry) + entry.compressedSize / 2;
      bytes[at] = static_cast<char>(bytes[at] ^ 0x10);
    };
  };
  // Sound in itself, of the same names, sizes and protection, but other content.
  std::string forged;
  const Damage damages[] = {
      {"a byte of the first entry", flipInEntry(0), "\"Inbox.dbx\" does not read back"},
      {"a byte of the last entry", flipInEntry(1), "\"quarnel.dat\" does not read back"},
      {"another archive", [&](std::string& bytes) { bytes = forged; }, "\"Inbox.dbx\" reads back other than"},
  };
  for (const Damage& damage : damages) {
    for (const std::string password : {"", "pw"}) {
      SCOPED_TRACE(std::string(damage.what) + (password.empty() ? "" : ", protected"));
      ASSERT_TRUE(testing::MakeZipDirectly(source.File("forged.zip"),
                                           {{"Inbox.dbx", MailLikeText(100000, 4)},
                                            {"quarnel.dat", "BackupIdentity=Evil Identity\r\n"}},
                                           password, password.empty() ? 0 : ZIP_EM_AES_256));
      forged = ReadFileBytes(source.File("forged.zip"));
      files = FaultyFiles();
      files.DamageAfterFlush(damage.apply);
      listener.events.clear();
      EXPECT_FALSE(Write(password, true));
      EXPECT_THAT(zip.LastError(), StartsWith("Verification failed: "));
      EXPECT_THAT(zip.LastError(), HasSubstr(damage.reported));
      EXPECT_EQ(std::count(listener.events.begin(), listener.events.end(), "verify"), 1);
      ExpectOldBackupKept();
      ExpectTemporaryFileRemoved(files);
    }
  }
}

// What a user reads when a mail folder goes, or becomes a folder, once the write began.
TEST_F(SafeWrite, AFileThatCannotBeReadIsNamedInWords) {
  const std::string path = source.File("Inbox.dbx");
  struct : RecordingListener {
    void OnAddingFile(const std::string& name) override {
      if (name == "Inbox.dbx") lose();
    }
    std::function<void()> lose;
  } losing;
  zip.SetListener(&losing);
  for (const std::string becomes : {"it is no longer there", "a folder"}) {
    WriteFileBytes(path, "mail");
    losing.lose = [&] {
      if (platform::Files().RemoveFile(path) && becomes == "a folder") platform::Files().CreateFolder(path);
    };
    EXPECT_FALSE(Write());
    const std::string words = becomes == "a folder" ? "" : becomes;  // for a folder, the system's words
    EXPECT_THAT(zip.LastError(), StartsWith("Cannot read the file \"" + path + "\": " + words));
    EXPECT_THAT(losing.events, Not(Contains("done")));
    ExpectOldBackupKept();
  }
}

#ifdef _WIN32
TEST_F(SafeWrite, AFileHeldOpenByAnotherProgramIsNamed) {
  const std::string path = source.File("Inbox.dbx");
  HANDLE lock = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Write());
  CloseHandle(lock);
  EXPECT_EQ(zip.LastError(),
            "Cannot read the file \"" + path + "\": another program is using it, or access to it is denied");
  ExpectOldBackupKept();
}
#endif

// Deflating in blocks on worker threads: files whose last block is full, one byte or one
// byte short come back whole; the archive has the same bytes however many workers deflate
// it, and the same guarantees as one stream.

constexpr std::size_t B = detail::kDeflateBlockSize;

// Text of one short random piece over and over: every block edge falls inside a repeat, so
// only the primed blocks find their matches in the block before.
std::string Repetitive(std::size_t size) {
  const std::string piece = Incompressible(20000);
  std::string out;
  while (out.size() < size) out += piece;
  out.resize(size);
  return out;
}

class BlockArchive : public ArchiveWriting {
 protected:
  void SetUp() override {
    Put({{"Inbox.dbx", MailLikeText(4 * B, 11)},        // exactly the smallest file deflated in blocks
         {"Sent Items.dbx", Repetitive(6 * B + 1)},     // a last block of one byte
         {"photo.jpg", Incompressible(5 * B - 1)},
         {"Drafts.dbx", MailLikeText(4 * B - 1, 12)},   // the largest deflated as one stream
         {"Gel\xF6schte Objekte.dbx", MailLikeText(5000, 2)},  // ANSI, stored as UTF-8
         {"empty.dat", ""},
         {"quarnel.dat", "BackupIdentity=Main Identity\r\n"}});
  }
};

// Every file comes back under its own name, protected or not; the events arrive in order on
// the caller's thread; no temporary file is left.
TEST_F(BlockArchive, RoundTripsProtectedAndNotWithTheEventsOnTheCallersThread) {
  for (const std::string password : {"", "s3cret pass"}) {
    SCOPED_TRACE(password);
    listener = RecordingListener();
    ASSERT_TRUE(Write(password, true, 3)) << zip.LastError();
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
  ASSERT_TRUE(Write("", true, 1, "blocks.soe")) << zip.LastError();
  ASSERT_TRUE(Write("", true, ZipArchive::kOneStream, "stream.soe")) << zip.LastError();
  const std::string blocks = ReadFileBytes(target.File("blocks.soe"));
  const std::string stream = ReadFileBytes(target.File("stream.soe"));
  EXPECT_FALSE(stream == blocks);
  EXPECT_LT(static_cast<double>(blocks.size()), stream.size() * 1.01);
  for (const auto& [workers, processors] : {std::pair{2, 1}, {5, 1}, {ZipArchive::kOnePerProcessor, 1},
                                             {ZipArchive::kOnePerProcessor, 2}, {ZipArchive::kOnePerProcessor, 4}}) {
    system.processors = processors;
    ASSERT_TRUE(Write("", true, workers)) << zip.LastError();
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
    files = FaultyFiles();
    files.Fail(FileCall::ReadInput, "Sent Items.dbx", passing);
    listener = RecordingListener();
    EXPECT_FALSE(Write(password, true, 2));
    EXPECT_THAT(zip.LastError(), HasSubstr("Cannot read the file \"" + source.File("Sent Items.dbx") + "\""));
    ExpectOldBackupKept();
  }
}


class ExtractionGuard : public ArchiveWriting {
 protected:
  void Open(const std::string& archive, const std::string& password = "pw") {
    ASSERT_TRUE(zip.OpenArchive(archive)) << zip.LastError();
    zip.ReadPassword(password);
  }

  // Extracts through the faulty files seam.
  bool Extract(const std::string& name = "Inbox.dbx") {
    std::optional<ArchiveEntry> entry = zip.FindEntry(name);
    EXPECT_TRUE(entry) << name;
    platform::ScopedServices scope({.files = &files});
    return entry && entry->ExtractToFolder(restored.path());
  }

  testing::LiveFolder restored;
};

// Each name is refused before any file is touched, any entry decrypted or any extraction
// announced, whatever the folder would make of it (which names: the EntryNames test).
TEST_F(ExtractionGuard, NamesWindowsWouldReinterpretAreRefusedBeforeAnythingIsTouched) {
  const std::vector<std::string> names = {"CON", "Inbox.dbx. .", "in|box.dbx", "..\\boot.ini", "../up.dbx", "C:x.dbx",
                                          "x.dbx:stream"};
  std::vector<testing::RawEntry> entries = {{"x.dbx", "payload"}};
  for (const std::string& name : names) entries.push_back({name, "payload"});
  ASSERT_TRUE(testing::MakeZipDirectly(source.File("evil.soe"), entries, "pw", ZIP_EM_AES_256));
  Open(source.File("evil.soe"));
  for (const std::string& name : names) {
    EXPECT_FALSE(Extract(name)) << name;
    EXPECT_THAT(zip.LastError(), StartsWith("Refused entry name")) << name;
  }
  EXPECT_THAT(files.calls, IsEmpty());
  EXPECT_THAT(listener.events, IsEmpty());
  std::optional<ArchiveEntry> withNul = zip.FindEntry(std::string("x.dbx\0.txt", 10));
  EXPECT_TRUE(!withNul || !withNul->ExtractToFolder(restored.path()));
  restored.ExpectUntouched();
  EXPECT_THAT(FolderListing(source.path()), ElementsAre("evil.soe"));
}

// Free space one byte short of the entry is refused before anything is written or announced;
// a failed flush or move, also over a read-only live file (Windows refuses to replace it, so
// the attribute is cleared for a second move and put back when that one fails too), leaves
// no temporary file. Each leaves the live file as it was, attributes and all.
TEST_F(ExtractionGuard, AFailedExtractionLeavesTheLiveFileAsItWas) {
  const std::string content = MailLikeText(300000, 1);  // deflates to far less
  ASSERT_TRUE(testing::MakeZipDirectly(source.File("b.soe"), {{"Inbox.dbx", content}}, "pw", ZIP_EM_AES_256));
  Open(source.File("b.soe"));
  const std::string path = restored.File("Inbox.dbx");
  GiveOtherAttributes(path);
  for (const auto& [call, readOnly] : {std::pair{FileCall::FreeSpace, false}, {FileCall::FlushToDisk, false},
                                       {FileCall::MoveReplace, false}, {FileCall::MoveReplace, true}}) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(call) << (readOnly ? " read-only" : ""));
    ASSERT_TRUE(platform::Files().SetReadOnly(path, readOnly));
    const std::uint32_t before = Attributes(path);
    files = FaultyFiles();
    files.refuseReadOnlyTargets = true;
    if (call == FileCall::FreeSpace) files.freeSpace = content.size() - 1;
    if (call != FileCall::FreeSpace) files.Fail(call, "", readOnly ? 1 : 0);  // read-only: the first is Windows'
    listener.events.clear();
    EXPECT_FALSE(Extract());
    EXPECT_EQ(Attributes(path), before);
    restored.ExpectUntouched();
    if (call != FileCall::FreeSpace) ExpectTemporaryFileRemoved(files);
    if (call == FileCall::FreeSpace) {
      EXPECT_THAT(zip.LastError(), HasSubstr("free"));
      EXPECT_THAT(listener.events, IsEmpty());
      for (FileCall later : {FileCall::FlushToDisk, FileCall::MoveReplace, FileCall::RemoveFile}) {
        EXPECT_THAT(files.PathsOf(later), IsEmpty());
      }
    }
  }
  files = FaultyFiles();
  files.refuseReadOnlyTargets = true;
  files.freeSpace = content.size();
  ASSERT_TRUE(Extract()) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(path), content);
}

}  // namespace
}  // namespace quarnel::archive
