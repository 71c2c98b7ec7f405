// The mail export on folder files from the test writer: mbox quoting, file
// names, the folder tree of a store, and quarnel-export on a protected backup
// with its exit codes.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

#include "archive/LocalFile.h"
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

DbxMessageSpec Message(const std::string &text) { return {text, "Hi", "Anna", "anna@example.org", FileTimeAt()}; }

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
    ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), FolderFile({Message(c.text)})));
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
  ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), FolderFile({Message("Subject: Hi\r\n\r\nShort.\r\n")})));
  for (ExportFormat format : {ExportFormat::kEml, ExportFormat::kMbox}) {
    DbxFileSource source(temp.File("Inbox.dbx"));
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tiny = saved;
    tiny.rlim_cur = 8;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &tiny);
    const ExportResult r = ExportMail(source, temp.File("out"), format);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_NE(r.outputError.find("(disk full?)"), std::string::npos) << r.outputError;
    EXPECT_FALSE(r.Complete());
    EXPECT_TRUE(platform::Files().ListFiles(JoinLocal(temp.File("out"), "Inbox")).empty());
  }
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

// What the target folder already holds is kept: a taken name, by a file or a
// folder, or by this export, gives the message the next number.
TEST(MailExportTest, NeverWritesOverWhatIsThere) {
  TempFolder temp;
  const DbxMessageSpec m = Message("Subject: Hi\r\n\r\nNew.\r\n");
  const std::string inbox = JoinLocal(temp.File("out"), "Inbox");
  ASSERT_TRUE(platform::Files().CreateFolder(temp.File("out")) && platform::Files().CreateFolder(inbox));
  ASSERT_TRUE(platform::Files().WriteAll(JoinLocal(inbox, "2005-03-14 0930 Hi.eml"), "kept"));
  ASSERT_TRUE(platform::Files().CreateFolder(JoinLocal(inbox, "2005-03-14 0930 Hi (3).eml")));
  ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), FolderFile({m, m, m})));
  DbxFileSource source(temp.File("Inbox.dbx"));
  ASSERT_TRUE(ExportMail(source, temp.File("out"), ExportFormat::kEml).Complete());
  EXPECT_EQ(Bytes(JoinLocal(inbox, "2005-03-14 0930 Hi.eml")), "kept");
  for (const char *name : {"2005-03-14 0930 Hi (2).eml", "2005-03-14 0930 Hi (4).eml", "2005-03-14 0930 Hi (5).eml"}) {
    EXPECT_EQ(Bytes(JoinLocal(inbox, name)), m.text) << name;
  }
}

// quarnel-export on the protected mail backup and on its store read as a folder (a
// headers-only message in each folder makes them partial), and on single folder files. The
// store's tree, as Folders.dbx describes it, is mirrored as folders of .eml files and as mbox
// files, ";" in names.
TEST(MailExportTest, ExportCommandMirrorsTheStoreAndExitsWithItsDocumentedCodes) {
  TempFolder temp, store;
  std::vector<DbxMessageSpec> samples = SampleMessages();
  samples.erase(samples.begin() + kHeadersOnly);  // every message has its text: nothing to skip
  ASSERT_TRUE(WriteFileBytes(temp.File("Single.dbx"), FolderFile(samples)));
  std::string damaged = FolderFile(samples);
  damaged.resize(damaged.size() - 0x27C);  // the index is lost
  ASSERT_TRUE(WriteFileBytes(temp.File("Cut;2005.dbx"), damaged));
  ASSERT_TRUE(WriteMailBackup(store, store.File("main.soe")));
  ASSERT_TRUE(WriteFileBytes(temp.File("password.txt"), std::string(kMailPassword) + "\r\n"));
  ASSERT_TRUE(WriteFileBytes(temp.File("wrong.txt"), "geheim 2005\n"));
  ASSERT_TRUE(WriteFileBytes(temp.File("not a backup.soe"), "PK\3\4 and nothing else"));
  const std::string out = temp.File("out"), soe = store.File("main.soe"), password = temp.File("password.txt");
  const struct {
    std::vector<std::string> args;
    int code;
  } cases[] = {
      {{temp.File("Single.dbx"), out + "1"}, kExitComplete},
      {{soe, out, "--password-file", password}, kExitPartial},
      {{store.path(), out + "2"}, kExitPartial},
      {{store.path(), out + "3", "--mbox"}, kExitPartial},
      {{soe, out}, kExitPassword},
      {{soe, out, "--password-file", temp.File("wrong.txt")}, kExitPassword},
      {{temp.File("Cut;2005.dbx"), out + "4"}, kExitPartial},
      {{temp.File("missing.soe"), out}, kExitUnreadable},
      {{temp.File("not a backup.soe"), out}, kExitUnreadable},
      {{soe, temp.File("password.txt"), "--password-file", password}, kExitCannotWrite},
      {{soe}, kExitUsage},
      {{soe, out, "--maildir"}, kExitUsage},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.args.back());
    std::FILE *sink = std::tmpfile();
    EXPECT_EQ(RunExportCommand(c.args, sink, sink), c.code);
    std::fclose(sink);
  }
  EXPECT_TRUE(EmlTexts(JoinLocal(out + "1", "Single")) == StoredTexts(samples));
  for (const char *folder :
       {"a;b;c", "Local Folders\\Inbox", "Local Folders\\Inbox\\Family", "Local Folders\\Inbox;2005"}) {
    EXPECT_TRUE(EmlTexts(JoinLocal(out, folder)) == StoredTexts()) << folder;
    EXPECT_TRUE(EmlTexts(JoinLocal(out + "2", folder)) == StoredTexts()) << folder;
    EXPECT_TRUE(platform::Files().FileExists(JoinLocal(out + "3", std::string(folder) + ".mbox"))) << folder;
  }
}

// A protected backup whose Inbox.dbx was altered after the backup recorded it:
// its mail is refused as the restore refuses it, not exported. The intact one
// goes through a temporary file (past a bound in memory of 1000 bytes).
TEST(MailExportTest, ExportsOnlyMailThatIsAsTheBackupRecordedIt) {
  const struct {
    const char *name;
    std::function<void(std::string &)> alter;
    bool refused;
  } cases[] = {
      {"as made", nullptr, false},
      {"another folder file of the same size", [](std::string &f) { f[f.find("Friday at noon")] = 'f'; }, true},
      {"one byte longer", [](std::string &f) { f += '\0'; }, true},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder temp;
    ASSERT_TRUE(WriteMailBackup(temp, temp.File("mail.soe"), c.alter));
    BackupSource source(1000);
    std::string message;
    ASSERT_EQ(source.OpenBackup(temp.File("mail.soe"), kMailPassword, &message), BackupOpen::kOpened) << message;
    const std::vector<std::string> inbox = {"Inbox.dbx"};
    const ExportResult r = ExportMail(source, temp.File("out"), ExportFormat::kEml, nullptr, &inbox);
    ASSERT_EQ(r.folders.size(), 1u);
    EXPECT_EQ(r.folders[0].problem.empty(), !c.refused) << r.folders[0].problem;
    const std::vector<std::string> texts = EmlTexts(temp.File("out") + "\\Local Folders\\Inbox");
    EXPECT_TRUE(c.refused ? texts.empty() : texts == StoredTexts());
  }
}

}  // namespace
}  // namespace quarnel::testing
