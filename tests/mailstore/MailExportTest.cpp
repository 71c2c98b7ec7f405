// The mail export on folder files from the test writer: mbox quoting, file
// names, the folder tree of a store, and quarnel-export on a protected backup
// with its exit codes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "mailexport/ExportCommand.h"
#include "mailexport/MailNames.h"
#include "mailexport/MailSources.h"
#include "mailstore/MailTestFiles.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::testing {
namespace {

using namespace mailexport;

std::string Bytes(const std::string &path) {
  std::string bytes;
  platform::Files().ReadAll(path, &bytes);
  return bytes;
}

TEST(MailExportTest, MboxQuotesFromLinesAsMboxrdDoesWhereverTheBlocksSplitThem) {
  const struct {
    std::string text, quoted;
  } cases[] = {
      {"From me\r\n", ">From me\r\n"},
      {"a\r\n>From x\r\n>>From y\r\n", "a\r\n>>From x\r\n>>>From y\r\n"},
      {"Fromage\r\nFrom\r\n a From b\r\n>Fro\r\n", "Fromage\r\nFrom\r\n a From b\r\n>Fro\r\n"},
      {std::string(509, 'x') + "\r\nFrom the block edge\r\n", std::string(509, 'x') + "\r\n>From the block edge\r\n"},
      {"no line break at the end", "no line break at the end\r\n"},
  };
  for (const auto &c : cases) {
    TempFolder temp;
    DbxMessageSpec m{c.text, "s", "Anna", "anna@example.org", FileTimeAt()};
    ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), FolderFile({m})));
    DbxFileSource source(temp.File("Inbox.dbx"));
    ASSERT_TRUE(ExportMail(source, temp.File("out"), ExportFormat::kMbox).Complete());
    EXPECT_EQ(Bytes(JoinLocal(temp.File("out"), "Inbox.mbox")),
              "From anna@example.org Mon Mar 14 09:30:00 2005\r\n" + c.quoted + "\r\n");
  }
}

#ifndef _WIN32
// A disk that fills while a message's last bytes leave the buffer (a file size limit stands
// in for it): the export says so, and no cut message is left behind as exported.
TEST(MailExportTest, ADiskThatFillsWhileAMessageIsFlushedIsAnOutputError) {
  TempFolder temp;
  DbxMessageSpec m{"Subject: Hi\r\n\r\nShort.\r\n", "Hi", "Anna", "anna@example.org", FileTimeAt()};
  ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), FolderFile({m})));
  for (ExportFormat format : {ExportFormat::kEml, ExportFormat::kMbox}) {
    DbxFileSource source(temp.File("Inbox.dbx"));
    const std::string out = temp.File(format == ExportFormat::kEml ? "eml" : "mbox");
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tiny);
    const ExportResult r = ExportMail(source, out, format);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(r.outputError.find("(disk full?)"), std::string::npos) << r.outputError;
    EXPECT_FALSE(r.Complete());
  }
  EXPECT_TRUE(platform::Files().ListFiles(JoinLocal(temp.File("eml"), "Inbox")).empty());
}
#endif

TEST(MailExportTest, NamesMessagesWithinWhatWindowsAllows) {
  const std::string deep(200, 'f');
  const struct {
    std::string folder;
    std::uint64_t time;
    std::string subject, name;
  } cases[] = {
      {"C:\\Out", FileTimeAt(), "Lunch on Friday", "2005-03-14 0930 Lunch on Friday.eml"},
      {"C:\\Out", 0, "Re: a/b \"q\" <x>?*:|\tend", "undated Re_ a_b _q_ _x_____ end.eml"},
      {"C:\\Out", FileTimeAt(), "CON", "2005-03-14 0930 _CON.eml"},
      {"C:\\Out", FileTimeAt(), " ... ", "2005-03-14 0930 (no subject).eml"},
      {"C:\\Out", FileTimeAt(), std::string(100, 's'), "2005-03-14 0930 " + std::string(70, 's') + ".eml"},
      {deep, FileTimeAt(), std::string(100, 's'), "2005-03-14 0930 " + std::string(30, 's') + ".eml"},
      {std::string(240, 'f'), FileTimeAt(), "x", ""},
  };
  for (const auto &c : cases) {
    const std::string name = MessageFileName(c.folder, c.time, c.subject);
    EXPECT_EQ(name, c.name);
    EXPECT_LE(c.folder.size() + 1 + name.size() + 8, kMaxPathLength);
  }
  EXPECT_EQ(SafeName("nul.txt", 60, "x"), "_nul.txt");
}

// A store: Folders.dbx nests Inbox under Local Folders and Family under Inbox;
// one file is not described there; names hold ";" and non-ASCII letters.
TEST(MailExportTest, MirrorsTheStoresFoldersAndCountsEachFolder) {
  TempFolder store;
  const std::vector<DbxMessageSpec> samples = SampleMessages();
  DbxWriter folders(true);
  folders.AddFolder(0, 0xFFFFFFFF, "Outlook Express", "");
  folders.AddFolder(1, 0, "Local Folders", "");
  folders.AddFolder(2, 1, "Inbox", "Inbox.dbx");
  folders.AddFolder(3, 2, "Family", "Family.dbx");
  folders.AddFolder(4, 1, "Old;2005", "Old;2005.dbx");
  folders.AddFolder(5, 1, "Entw\xFCrfe", "Drafts.dbx");
  ASSERT_TRUE(WriteFileBytes(store.File("Folders.dbx"), folders.Finish()));
  for (const char *name : {"Inbox.dbx", "Family.dbx", "Old;2005.dbx", "Drafts.dbx", "Archiv 2004.dbx"}) {
    ASSERT_TRUE(WriteFileBytes(store.File(name), FolderFile(samples)));
  }
  const std::vector<std::string> folderPaths = {"Archiv 2004", "Local Folders\\Entw\xFCrfe", "Local Folders\\Inbox",
                                                "Local Folders\\Inbox\\Family", "Local Folders\\Old;2005"};
  for (ExportFormat format : {ExportFormat::kEml, ExportFormat::kMbox}) {
    TempFolder out;
    StoreFolderSource source(store.path());
    const ExportResult r = ExportMail(source, out.path(), format);
    ASSERT_EQ(r.folders.size(), folderPaths.size());
    for (std::size_t i = 0; i < folderPaths.size(); ++i) {
      EXPECT_EQ(r.folders[i].folder, folderPaths[i]);
      EXPECT_EQ(r.folders[i].exported, 6u);
      EXPECT_EQ(r.folders[i].skipped, 1u);  // the one with headers only
      EXPECT_EQ(r.folders[i].damaged, 0u);
    }
    const std::string family = JoinLocal(JoinLocal(JoinLocal(out.path(), "Local Folders"), "Inbox"), "Family");
    if (format == ExportFormat::kEml) {
      EXPECT_TRUE(EmlTexts(family) == StoredTexts(samples));
      EXPECT_TRUE(EmlTexts(JoinLocal(JoinLocal(out.path(), "Local Folders"), "Entw\xFCrfe")) == StoredTexts(samples));
    } else {
      EXPECT_TRUE(platform::Files().FileExists(family + ".mbox"));
      EXPECT_TRUE(platform::Files().FileExists(JoinLocal(JoinLocal(out.path(), "Local Folders"), "Old;2005.mbox")));
    }
  }
}

// quarnel-export on a protected backup whose mail folders are named with ";".
TEST(MailExportTest, ExportCommandExitsWithItsDocumentedCodes) {
  TempFolder temp;
  std::vector<DbxMessageSpec> samples = SampleMessages();
  samples.erase(samples.begin() + kHeadersOnly);  // every message has its text: nothing to skip
  for (const char *name : {"Inbox.dbx", "a;b;c.dbx"}) ASSERT_TRUE(WriteFileBytes(temp.File(name), FolderFile(samples)));
  std::string damaged = FolderFile(samples);
  damaged.resize(damaged.size() - 0x27C);  // the index is lost
  ASSERT_TRUE(WriteFileBytes(temp.File("Old;2005.dbx"), damaged));
  ASSERT_TRUE(WriteFileBytes(temp.File("quarnel.dat"),
                             "BackupIdentity=Main "
                             "Identity\r\nBackupMails=Inbox.dbx;a;b;c."
                             "dbx\r\nBackupItem=00010000\r\n"));
  ASSERT_TRUE(WriteFileBytes(temp.File("password.txt"), "Geheim 2005\r\n"));
  ASSERT_TRUE(WriteFileBytes(temp.File("wrong.txt"), "geheim 2005\n"));
  ASSERT_TRUE(WriteFileBytes(temp.File("not a backup.soe"), "PK\3\4 and nothing else"));
  archive::ZipArchive zip;
  zip.NewArchive(temp.File("main.soe"));
  for (const char *name : {"Inbox.dbx", "a;b;c.dbx", "quarnel.dat"}) ASSERT_TRUE(zip.AppendPath(temp.File(name)));
  zip.ArchivePassword("Geheim 2005");
  zip.EncryptionMode(1);
  ASSERT_TRUE(zip.WriteArchive()) << zip.LastError();

  const std::string out = temp.File("out");
  const struct {
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {{temp.File("main.soe"), out, "--password-file", temp.File("password.txt")}, kExitComplete},
      {{temp.File("main.soe"), out + "2", "--mbox", "--password-file", temp.File("password.txt")}, kExitComplete},
      {{temp.File("main.soe"), out}, kExitPassword},
      {{temp.File("main.soe"), out, "--password-file", temp.File("wrong.txt")}, kExitPassword},
      {{temp.File("Old;2005.dbx"), out + "3"}, kExitPartial},
      {{temp.File("missing.soe"), out}, kExitUnreadable},
      {{temp.File("not a backup.soe"), out}, kExitUnreadable},
      {{temp.File("main.soe"), temp.File("quarnel.dat"), "--password-file", temp.File("password.txt")},
       kExitCannotWrite},
      {{temp.File("main.soe")}, kExitUsage},
      {{temp.File("main.soe"), out, "--maildir"}, kExitUsage},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args.back());
    std::FILE *sink = std::tmpfile();
    EXPECT_EQ(RunExportCommand(c.args, sink, sink), c.code);
    std::fclose(sink);
  }
  EXPECT_TRUE(EmlTexts(JoinLocal(out, "Inbox")) == StoredTexts(samples));
  EXPECT_TRUE(EmlTexts(JoinLocal(out, "a;b;c")) == StoredTexts(samples));

  // Past its bound in memory a folder file goes through a temporary file: the
  // same result.
  BackupSource spilled(1000);
  std::string message;
  ASSERT_EQ(spilled.OpenBackup(temp.File("main.soe"), "Geheim 2005", &message), BackupOpen::kOpened) << message;
  EXPECT_TRUE(ExportMail(spilled, temp.File("spilled"), ExportFormat::kEml).folders.size() == 2);
  EXPECT_TRUE(EmlTexts(JoinLocal(temp.File("spilled"), "a;b;c")) == StoredTexts(samples));
}

TEST(MailExportTest, MatchesListedNamesThatHoldSemicolons) {
  const std::set<std::string> entries = {"Inbox.dbx", "a;b;c.dbx", "a.dbx", "Old;2005.dbx", "b;c.dbx"};
  auto isEntry = [&](const std::string &n) { return entries.count(n) > 0; };
  const struct {
    std::string value;
    std::vector<std::string> names;
  } cases[] = {
      {"Inbox.dbx;Old;2005.dbx", {"Inbox.dbx", "Old;2005.dbx"}},
      {"a;b;c.dbx;Inbox.dbx", {"a;b;c.dbx", "Inbox.dbx"}},
      {"a.dbx;b;c.dbx", {"a.dbx", "b;c.dbx"}},
      {"Inbox.dbx;gone.dbx", {"Inbox.dbx", "gone.dbx"}},
      {"", {}},
  };
  for (const auto &c : cases) EXPECT_EQ(MatchEntryNames(c.value, isEntry), c.names) << c.value;
}

}  // namespace
}  // namespace quarnel::testing
