// What a write or an extraction leaves behind when the disk lets it down (failures injected
// through the files seam) or when the written archive does not read back: the older file
// exactly as it was, and none of the component's temporary files.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/FaultyFiles.h"
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
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using testing::CentralDirectory;
using testing::FaultyFiles;
using testing::FileCall;
using testing::FolderListing;
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

class SafeWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(target.File("b.soe"), "the previous backup");
    WriteFileBytes(source.File("Inbox.dbx"), MailLikeText(100000, 3));
    WriteFileBytes(source.File("quarnel.dat"), "BackupIdentity=Main Identity\r\n");
  }

  bool Write(const std::string& password = "", bool verify = false) {
    zip.NewArchive(target.File("b.soe"));
    zip.AppendPath(source.File("Inbox.dbx"));
    zip.AppendPath(source.File("quarnel.dat"));
    zip.ArchivePassword(password);
    zip.EncryptionMode(password.empty() ? 0 : 1);
    zip.VerifyAfterWrite(verify);
    platform::ScopedServices scope({.files = &files});
    return zip.WriteArchive();
  }

  void ExpectOldBackupKept() {
    EXPECT_THAT(listener.events, Not(Contains("done")));
    EXPECT_FALSE(zip.LastError().empty());
    EXPECT_EQ(ReadFileBytes(target.File("b.soe")), "the previous backup");
    EXPECT_THAT(FolderListing(target.path()), ElementsAre("b.soe"));
  }

  TempFolder source, target;
  FaultyFiles files;
  RecordingListener listener;
  ZipArchive zip{&listener};
};

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
      {"the end cut off", FaultyFiles::CutOffTheEnd, "cannot be opened again"},
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
  for (const std::string& becomes : {"it is no longer there", "a folder"}) {
    WriteFileBytes(path, "mail");
    losing.lose = [&] {
      if (platform::Files().RemoveFile(path) && becomes == "a folder") platform::Files().CreateFolder(path);
    };
    EXPECT_FALSE(Write());
    EXPECT_THAT(zip.LastError(), StartsWith("Cannot read the file \"" + path + "\": "));
    if (becomes != "a folder") EXPECT_THAT(zip.LastError(), ::testing::EndsWith(becomes));
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

TEST_F(SafeWrite, PasswordsAreForgottenOnceUsed) {
  for (bool fails : {false, true}) {
    files = FaultyFiles();
    if (fails) files.Fail(FileCall::MoveReplace);
    EXPECT_EQ(Write("s3cret"), !fails);
    EXPECT_EQ(zip.ArchivePassword(), "");
  }
  zip.ArchivePassword("s3cret");
  zip.CloseArchive();
  EXPECT_EQ(zip.ArchivePassword(), "");

  ASSERT_TRUE(zip.OpenArchive(target.File("b.soe")));
  zip.ReadPassword("s3cret");
  zip.CloseArchive();
  EXPECT_EQ(zip.ReadPassword(), "");
}

class SafeExtraction : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::MakeZipDirectly(work.File("b.soe"), {{"Inbox.dbx", MailLikeText(100000, 3)}}));
    ASSERT_TRUE(zip.OpenArchive(work.File("b.soe")));
  }

  bool Extract() {
    std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
    platform::ScopedServices scope({.files = &files});
    return entry && entry->ExtractToFolder(restored.path());
  }

  TempFolder work;
  testing::LiveFolder restored;
  FaultyFiles files;
  ZipArchive zip;
};

// Also over a read-only live file, which Windows refuses to replace: the attribute is
// cleared for a second move, and put back when that one fails too.
TEST_F(SafeExtraction, AFailedFlushOrMoveLeavesTheLiveFileAsItWasAndNoTemporaryFile) {
  const std::string path = restored.File("Inbox.dbx");
  GiveOtherAttributes(path);
  for (const auto& [call, readOnly] :
       {std::pair{FileCall::FlushToDisk, false}, {FileCall::MoveReplace, false}, {FileCall::MoveReplace, true}}) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(call) << (readOnly ? " read-only" : ""));
    ASSERT_TRUE(platform::Files().SetReadOnly(path, readOnly));
    const std::uint32_t before = Attributes(path);
    files = FaultyFiles();
    files.refuseReadOnlyTargets = true;
    files.Fail(call, "", readOnly ? 1 : 0);  // read-only: the first move is Windows' refusal
    EXPECT_FALSE(Extract());
    EXPECT_EQ(Attributes(path), before);
    restored.ExpectUntouched();
    ExpectTemporaryFileRemoved(files);
  }
  files = FaultyFiles();
  files.refuseReadOnlyTargets = true;
  ASSERT_TRUE(Extract()) << zip.LastError();
  EXPECT_EQ(ReadFileBytes(path), MailLikeText(100000, 3));
}

}  // namespace
}  // namespace quarnel::archive
