// What a write or an extraction leaves behind when the disk lets it down (failures injected
// through the files seam), when the written archive does not read back, or when an entry is
// refused: the older file exactly as it was, and none of the component's temporary files.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/EntryReader.h"
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
using ::testing::IsEmpty;
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

class ExtractionGuard : public ::testing::Test {
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

  TempFolder work;
  testing::LiveFolder restored;
  FaultyFiles files;
  RecordingListener listener;
  ZipArchive zip{&listener};
};

// Each name is refused before any file is touched, any entry decrypted or any extraction
// announced, whatever the folder would make of it (which names: EntryNamesTest).
TEST_F(ExtractionGuard, NamesWindowsWouldReinterpretAreRefusedBeforeAnythingIsTouched) {
  const std::vector<std::string> names = {"CON", "Inbox.dbx. .", "in|box.dbx", "..\\boot.ini", "../up.dbx", "C:x.dbx",
                                          "x.dbx:stream"};
  std::vector<testing::RawEntry> entries = {{"x.dbx", "payload"}};
  for (const std::string& name : names) entries.push_back({name, "payload"});
  ASSERT_TRUE(testing::MakeZipDirectly(work.File("evil.soe"), entries, "pw", ZIP_EM_AES_256));
  Open(work.File("evil.soe"));
  for (const std::string& name : names) {
    EXPECT_FALSE(Extract(name)) << name;
    EXPECT_THAT(zip.LastError(), StartsWith("Refused entry name")) << name;
  }
  EXPECT_THAT(files.calls, IsEmpty());
  EXPECT_THAT(listener.events, IsEmpty());
  std::optional<ArchiveEntry> withNul = zip.FindEntry(std::string("x.dbx\0.txt", 10));
  EXPECT_TRUE(!withNul || !withNul->ExtractToFolder(restored.path()));
  restored.ExpectUntouched();
  EXPECT_THAT(FolderListing(work.path()), ElementsAre("evil.soe"));
}

// Free space one byte short of the entry is refused before anything is written or announced;
// a failed flush or move, also over a read-only live file (Windows refuses to replace it, so
// the attribute is cleared for a second move and put back when that one fails too), leaves
// no temporary file. Each leaves the live file as it was, attributes and all.
TEST_F(ExtractionGuard, AFailedExtractionLeavesTheLiveFileAsItWas) {
  const std::string content = MailLikeText(300000, 1);  // deflates to far less
  ASSERT_TRUE(testing::MakeZipDirectly(work.File("b.soe"), {{"Inbox.dbx", content}}, "pw", ZIP_EM_AES_256));
  Open(work.File("b.soe"));
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

// Mail that inflates past the size its entry states: not one byte more than stated is
// handed on, and the live file stays.
TEST_F(ExtractionGuard, ContentRunningPastItsStatedSizeStopsAtOnce) {
  constexpr std::uint32_t kStated = 1000;
  for (std::uint16_t method : {0, ZIP_EM_AES_256}) {
    SCOPED_TRACE(method);
    const std::string password = method ? "pw" : "";
    ASSERT_TRUE(
        testing::MakeZipDirectly(work.File("b.soe"), {{"Inbox.dbx", MailLikeText(300000, 1)}}, password, method));
    std::string bytes = ReadFileBytes(work.File("b.soe"));
    testing::SetStatedSize(bytes, CentralDirectory(bytes).at(0), kStated);
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
    EXPECT_FALSE(Extract());
    restored.ExpectUntouched();
    zip.CloseArchive();  // Windows keeps an open file from being rewritten
  }
}

}  // namespace
}  // namespace quarnel::archive
