// The backup job, opening a backup file, the restore job and the scheduled backup over a
// fake main window, on the seeded identities of the items' fixture.
#include <zip.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/Jobs.h"
#include "app/MainArchiveListener.h"
#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/InfoFile.h"
#include "backup/ItemsFixture.h"
#include "backup/UnattendedBackup.h"
#include "mailclient/Locations.h"
#include "mainwindow/MainWindowLogic.h"
#include "schedule/TaskCommands.h"
#include "support/FakeMainView.h"
#include "support/FaultyFiles.h"

namespace quarnel::testing {
namespace {

using app::Control;
using app::ItemSet;
using app::ModalWindow;
using platform::Files;
using platform::MessageIcon;
using Names = std::vector<std::string>;

class JobsTest : public ItemsTest {
 protected:
  void SetUp() override {
    system.now = platform::LocalTime{2026, 12, 5, 14, 30, 0};
    SeedAll();
    state_.Identities = {{"Main Identity", kIdentityA}, {"Work", kIdentityB}};
    state_.ComputerName = "BOX";
    state_.LogonUser = "alice";
    state_.TargetPath = Path("backup.soe");
    for (Control list : {Control::cbSource, Control::cbTarget}) {
      view_.controls[list].items = {"Main Identity", "Work"};
      view_.controls[list].index = list == Control::cbSource ? 0 : 1;
    }
    state_.Zip1->SetListener(&listener_);
  }
  void TearDown() override {
    app::CommandLine().clear();
    ItemsTest::TearDown();
  }

  void Protect(bool on, const std::string& password, const std::string& again) {
    view_.controls[Control::ifprotect].checked = on;
    view_.controls[Control::txtPassword].text = password;
    view_.controls[Control::txtPassword2].text = again;
  }
  void Run(ItemSet set, const std::string& flags) {
    messages.shown.clear();
    for (int i = 0; i < app::kItemCount; ++i) view_.items[set == ItemSet::Backup ? 0 : 1][i].checked = flags[i] == '1';
    set == ItemSet::Backup ? app::RunBackupJob(state_, view_) : app::RunRestoreJob(state_, view_);
  }
  // Opens the backup as the Browse button does, the prompt answered with `password`.
  void Open(const std::string& file, const std::string& password = "") {
    messages.shown.clear();
    view_.dialogAnswer = Path(file);
    view_.onModal = [this, password](ModalWindow window) {
      if (window == ModalWindow::Password) state_.RestorePassword = password;
    };
    app::OpenBackupFile(state_, view_);
  }
  std::string LastMessage() const { return messages.shown.empty() ? "" : messages.shown.back().text; }
  // The bytes a run logs: ">" a separator, "=text" an event, "!text" a closing event.
  std::string Records(const Names& records) {
    std::string bytes, stamp = system.GeneralDate(*system.now);
    for (const std::string& r : records) {
      bytes += r == ">" ? std::string(84, '.') + "\r\r\n" : stamp + r.substr(1) + (r[0] == '=' ? "\n\r\n" : "\r\r\n");
    }
    return bytes;
  }

  FakeMainView view_;
  app::MainArchiveListener listener_{view_};
};

// Each ticked item in order, its result in the summary and the log; an item that fails (the
// stationery folder gone, no identity chosen for the identity's items) is left out of the
// backup's flags. An older backup and what an ended run left are replaced, and what the
// settings ask for follows a completed backup; opening an unprotected one never prompts.
TEST_F(JobsTest, EachTickedItemIsReportedInOrderAndTheBackupDescribesItself) {
  const char* const captions[] = {"Accounts",      "Adress Book", "Rules",        "Messages",
                                  "Block Senders", "Signatures",  "Stationeries", "Settings"};
  const struct {
    std::function<void()> change;
    std::string ticked, held;  // held: the flags of the backup, those of the items that succeeded
  } runs[] = {
      {[&] { PutText(mailclient::kCurrentVersionKey, "CommonFilesDir", Path("nowhere")); }, "00100010", "00100000"},
      {[&] { view_.controls[Control::cbSource].index = -1; }, "01010000", "01000000"},
      {[&] {
         view_.controls[Control::cbSource].index = 0;
         view_.controls[Control::txtAttachInfo].text = "Before the move;\r\nall folders = 6";
         Protect(false, "differs", "ignored when unticked");
         Write("backup.soe", "the previous backup");
         Write("~qb1f.tmp.0073840e", "part of the archive of a run that was ended");
         app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "1");
         PutText(mailclient::kMailClientAppPathKey, "Path", "C:\\OE");
         processes.started.clear();
         view_.modals.clear();
         view_.onModal = [&](ModalWindow) { EXPECT_TRUE(processes.started.empty()); };
       },
       "00010000", "00010000"},
  };
  for (const auto& run : runs) {
    run.change();
    Files().RemoveFile(Path("brlog.dat"));
    Run(ItemSet::Backup, run.ticked);
    const std::string name = view_.controls[Control::cbSource].index == 0 ? "Main Identity" : "";
    std::string summary = "The Backup was Completed!\r\n";
    Names log = {">", "= Start Backup Profile " + name + " Data...", "= Backup File is " + Path("backup.soe")};
    for (int i = 0; i < app::kItemCount; ++i) {
      if (run.ticked[i] == '0') continue;
      summary += "\r\nBackup " + std::string(captions[i]) + (run.held[i] == '1' ? "\tSuccessed!" : "\tFail!");
      log.push_back("= Backup " + std::string(captions[i]) + (run.held[i] == '1' ? " Succeeded!" : " Fail!"));
    }
    log.push_back("! Backup Profile " + name + " Data was Completed!");
    EXPECT_EQ(LastMessage(), summary);
    EXPECT_EQ(messages.shown.back().icon, MessageIcon::Information);
    EXPECT_EQ(Read("brlog.dat"), Records(log));
    Open("backup.soe");
    EXPECT_EQ(state_.BackupItemFlags, run.held);
  }
  EXPECT_EQ(state_.Zip1->IsArchiveProtected(Path("backup.soe")), 0);
  EXPECT_EQ(view_.Text(Control::txtFileInfo), "Before the move;\r\nall folders = 6");
  EXPECT_EQ(view_.Text(Control::txtPOBinfo),
            "Computer:BOX\r\nUser:alice\r\nIdentity:Main Identity\r\nDate:" + system.GeneralDate(*system.now));
  // The job's own files are gone, and what the ended run left; the panel is hidden. Then
  // the disc writer, the mail client and the folder, in this order.
  EXPECT_EQ(FolderListing(dir.path()), (Names{"backup.soe", "brlog.dat", "settings.dat"}));
  EXPECT_EQ(view_.modals, std::vector<ModalWindow>{ModalWindow::DiscWriter});
  EXPECT_EQ(state_.DiscWriterHandOver.path, Path("backup.soe"));
  ASSERT_EQ(processes.started.size(), 2u);
  EXPECT_EQ(processes.started[0].commandLine, "\"C:\\OE\\msimn.exe\"");
  EXPECT_EQ(processes.started[1].commandLine, "explorer /n," + Path(""));
  EXPECT_FALSE(view_.Visible(Control::picCon3));
}

// The four checks stop a backup before anything is touched, with their message. Whatever
// keeps a backup that ran from being complete (a mail folder gone once added, a missing
// folder, a write the read-back finds damaged, the information file's last line not
// written) is reported as not Completed. Neither replaces the previous backup.
TEST_F(JobsTest, ABackupThatIsNotCompleteNeverReplacesThePreviousOne) {
  app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "1");
  const std::string failed = "The Backup was not Completed!\r\n\r\n";
  auto notWritten = [&](const std::string& file, const std::string& reason) {
    return failed + "The backup file could not be written:\r\n" + Path(file) + "\r\n\r\n" + reason;
  };
  const struct {
    std::function<void(FaultyFiles&)> fault;
    std::string target, ticked, message;  // how the message begins
    MessageIcon icon = MessageIcon::Critical;
  } cases[] = {
      {[](FaultyFiles&) {}, "", "11111111", "Invalid backup file name.", MessageIcon::Exclamation},
      {[](FaultyFiles&) {}, "backup.soe", "00000000", "Please select at least one item.", MessageIcon::Exclamation},
      {[&](FaultyFiles&) { Protect(true, "", ""); }, "backup.soe", "00010000", "Please enter Password!"},
      {[&](FaultyFiles&) { Protect(true, "one", "One"); }, "backup.soe", "00010000", "Incorect Password!"},
      {[&](FaultyFiles&) {
         view_.onPump = [&] {
           if (InfoText().find("BackupMails=") != std::string::npos) Files().RemoveFile(Path("Store A\\Inbox.dbx"));
         };
       },
       "backup.soe", "00010000", notWritten("backup.soe", "Cannot read")},
      {[](FaultyFiles&) {}, "gone\\backup.soe", "00010000",
       notWritten("gone\\backup.soe", "No folder \"" + Path("gone") + "\"")},
      {[](FaultyFiles& f) { f.DamageAfterFlush(); }, "backup.soe", "00010000",
       failed + "The backup file could not be verified:\r\n" + Path("backup.soe") + "\r\n\r\nVerification failed"},
      {[](FaultyFiles& f) { f.Fail(FileCall::AppendBytes, "quarnel.dat", 6); },  // BackupItem, after 6 lines
       "backup.soe", "00010000",
       notWritten("backup.soe", "Cannot write the information file \"" + Path("quarnel.dat") + "\"")},
  };
  for (const auto& c : cases) {
    SeedAll();
    Write("backup.soe", "the previous backup");
    Files().RemoveFile(Path("brlog.dat"));
    state_.TargetPath = c.target.empty() ? "" : Path(c.target);
    Protect(false, "", "");
    FaultyFiles files;
    c.fault(files);
    {
      platform::ScopedServices faulty({.files = &files});
      Run(ItemSet::Backup, c.ticked);
    }
    view_.onPump = nullptr;
    ASSERT_EQ(messages.shown.size(), 1u) << c.message;
    EXPECT_TRUE(LastMessage().starts_with(c.message)) << LastMessage();
    EXPECT_EQ(messages.shown[0].icon, c.icon);
    EXPECT_TRUE(Read("backup.soe") == "the previous backup") << c.message;
    const bool ran = c.message.starts_with(failed);
    EXPECT_EQ(Read("brlog.dat").ends_with(Records({"! Backup Profile Main Identity Data was not Completed!"})), ran);
    EXPECT_TRUE(view_.modals.empty() && !state_.JobRunning && !view_.waitCursor);  // no after-action
    const Names left = ran ? Names{"backup.soe", "brlog.dat", "settings.dat"} : Names{"backup.soe", "settings.dat"};
    EXPECT_EQ(FolderListing(dir.path()), left) << c.message;
  }
  // With the check off nothing is read back: the damage goes unnoticed, as the setting says.
  app::WriteINI(app::SettingsFilePath(), "General", "checkbackupfile", "0");
  FaultyFiles files;
  files.DamageAfterFlush();
  platform::ScopedServices faulty({.files = &files});
  Run(ItemSet::Backup, "00010000");
  EXPECT_EQ(messages.shown.at(0).text, "The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed!");
}

TEST_F(JobsTest, WhileAJobRunsASecondOneAndTheJobCommandsAreRefused) {
  app::MainWindowLogic logic(state_, view_);
  int refusedInside = 0;
  view_.onPump = [&] {
    if (!state_.JobRunning) return;
    std::size_t shown = messages.shown.size();
    for (app::Command c : {app::Command::Backup, app::Command::Restore, app::Command::Apply, app::Command::SourceFile,
                           app::Command::TargetFile, app::Command::Quit}) {
      logic.Run(c);
    }
    app::RunBackupJob(state_, view_);
    app::RunRestoreJob(state_, view_);
    if (messages.shown.size() == shown && view_.quits == 0 && view_.dialogs.empty()) ++refusedInside;
  };
  Run(ItemSet::Backup, "00010001");
  EXPECT_GT(refusedInside, 3);
  EXPECT_EQ(messages.shown.size(), 1u);
  EXPECT_FALSE(state_.JobRunning);
  logic.Run(app::Command::Quit);
  EXPECT_EQ(view_.quits, 1);
}

// Opening asks for the password of a protected backup only; a refused or invalid one
// leaves the page empty, a cancelled prompt keeps the password typed before. Then the
// restore runs the checked items the backup holds, into the identity chosen.
TEST_F(JobsTest, ABackupIsOpenedWithItsPasswordAndRestoredIntoTheChosenIdentity) {
  Protect(true, "s3cret", "s3cret");
  Run(ItemSet::Backup, "00010001");
  view_.modals.clear();
  state_.RestorePassword = "earlier";
  Open("backup.soe", "wrong");
  EXPECT_EQ(view_.modals, std::vector<ModalWindow>{ModalWindow::Password});
  EXPECT_EQ(LastMessage(), "Incorect Password or Invalid backup file");
  EXPECT_EQ(view_.Text(Control::txtSourceFile), "");
  Run(ItemSet::Restore, "00010000");
  EXPECT_EQ(LastMessage(), "Invalid backup file.");

  state_.RestorePassword = "s3cret";
  view_.onModal = nullptr;  // cancelled
  app::OpenBackupFile(state_, view_);
  EXPECT_EQ(view_.Text(Control::txtSourceFile), Path("backup.soe"));
  EXPECT_FALSE(state_.NoValidBackupFile);
  for (int i = 0; i < app::kItemCount; ++i) {
    EXPECT_EQ(view_.ItemEnabled(ItemSet::Restore, i), i == 3 || i == 7) << i;
    EXPECT_FALSE(view_.ItemChecked(ItemSet::Restore, i));
  }
  EXPECT_FALSE(Exists("quarnel.dat"));
  Run(ItemSet::Restore, "00000000");
  EXPECT_EQ(LastMessage(), "Please select at least one item.");

  // Rules is not in the backup: it is passed over in silence. A mail folder that only an
  // ended restore's kept copy holds is first put back.
  Files().RemoveFile(Path("brlog.dat"));
  Write("Store B\\~qbr.old.Kept.dbx.tmp", "kept");
  Run(ItemSet::Restore, "00110001");
  EXPECT_EQ(Read("Store B\\Kept.dbx"), "kept");
  EXPECT_EQ(LastMessage(),
            "The Restore was Completed!\r\n\r\nRestore Messages\tSuccessed!\r\nRestore Settings\tSuccessed!");
  EXPECT_EQ(Read("brlog.dat"),
            Records({">", "= Start Retore Data to Profile Work", "= Restore File is " + Path("backup.soe"),
                     "= Restore Messages Succeeded!", "= Restore Settings Succeeded!",
                     "! Restore Data to Profile Work was Completed!"}));
  EXPECT_TRUE(Read("Store B\\Inbox.dbx") == Read("Store A\\Inbox.dbx"));

  // One without a whole information file, or with one no backup of ours would carry, is
  // invalid: the file is never left in the data folder (one too large never extracted),
  // and nothing of the one opened before describes it.
  const std::string lines = "BackupIdentity=Main\r\nBackupItem=00010000\r\nBackupMails=Inbox.dbx\r\n";
  const struct {
    std::vector<RawEntry> entries;
    bool extracted;
  } invalid[] = {
      {{{"Inbox.dbx", "mail"}}, false},
      {{{"quarnel.dat", lines + "Padding=" + std::string(backup::kInfoFileLimit, 'x') + "\r\n"}}, false},
      {{{"quarnel.dat", lines + "BackupEntries=Inbox.dbx:4:0000000G\r\n"}}, true},
      {{{"quarnel.dat", lines + "BackupEntries=Inbox.dbx:4\r\n"}}, true},
      {{{"quarnel.dat", "BackupIdentity=Main\r\nBackupItem=0001000\r\n"}}, true},
  };
  for (const auto& c : invalid) {
    const std::string name = "invalid" + std::to_string(&c - invalid) + ".soe";  // the one before stays open
    ASSERT_TRUE(MakeZipDirectly(dir.File(name), c.entries, "pw", ZIP_EM_AES_256));
    FaultyFiles files;
    platform::ScopedServices watch({.files = &files});
    Open(name, "pw");
    EXPECT_EQ(LastMessage(), "Invalid backup file") << name;
    EXPECT_EQ(messages.shown.at(0).icon, MessageIcon::Critical);
    EXPECT_TRUE(state_.NoValidBackupFile);
    for (int i = 0; i < app::kItemCount; ++i) EXPECT_FALSE(view_.ItemEnabled(ItemSet::Restore, i));
    EXPECT_EQ(files.PathsOf(FileCall::MoveReplace).empty(), !c.extracted) << name;
    EXPECT_FALSE(Exists("quarnel.dat"));
  }
  EXPECT_EQ(view_.Text(Control::txtPOBinfo), "Computer:\r\nUser:\r\nIdentity:Main\r\nDate:");
}

// A protected backup altered without its password (entries' methods, sizes and names are
// outside what the password authenticates) changes nothing when restored.
TEST_F(JobsTest, AnAlteredProtectedBackupRestoresNothing) {
  using Entries = std::map<std::string, CentralEntry>;
  constexpr std::uint32_t kAesOverhead = 16 + 2 + 10;  // AES-256 salt, verifier, code
  const std::uint32_t inboxSize = static_cast<std::uint32_t>(Read("Store A\\Inbox.dbx").size());
  const struct {
    const char* what;
    std::function<void(std::string& zip, const Entries& entries)> alter;
  } alterations[] = {
      {"Inbox.dbx stored, its size that of its deflated bytes",
       [](std::string& zip, const Entries& entries) {
         SetAesField(zip, entries.at("Inbox.dbx"), 2, 0);
         SetStatedSize(zip, entries.at("Inbox.dbx"), entries.at("Inbox.dbx").compressedSize - kAesOverhead);
       }},
      {"Inbox.dbx one byte longer",
       [&](std::string& zip, const Entries& entries) { SetStatedSize(zip, entries.at("Inbox.dbx"), inboxSize + 1); }},
      {"two mail folders' names swapped",
       [](std::string& zip, const Entries& entries) {
         for (auto [a, b] : {std::pair{"Inbox.dbx", "a;b;c.dbx"}, std::pair{"a;b;c.dbx", "Inbox.dbx"}}) {
           zip.replace(entries.at(a).localAt + 30, std::string(b).size(), b);
           zip.replace(entries.at(a).centralAt + 46, std::string(b).size(), b);
         }
       }},
  };
  app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", "0");  // not a dated name
  app::CommandLine() = "sf=Main Identityxm=11111111ps=s3cretbf=" + Path("backup.soe");
  ASSERT_EQ(app::RunUnattendedBackup(state_, view_), backup::kUnattendedCompleted);
  const std::string written = Read("backup.soe");
  Entries entries;
  for (const CentralEntry& entry : CentralDirectory(written)) entries[entry.name] = entry;
  auto identityB = [&] {  // what a restore into identity B would change
    std::string files;
    for (const std::string& name : Files().ListFiles(Path("Store B"))) files += name + Read("Store B\\" + name);
    return Tree(IdentityPath(kIdentityB)) + files;
  };
  const std::string before = identityB();
  for (const auto& alteration : alterations) {
    std::string bytes = written;
    alteration.alter(bytes, entries);
    Write("altered.soe", bytes);
    Open("altered.soe", "s3cret");
    ASSERT_FALSE(state_.NoValidBackupFile);
    Run(ItemSet::Restore, "11111111");
    EXPECT_EQ(LastMessage(), "Invalid backup file.") << alteration.what;
    EXPECT_TRUE(identityB() == before) << alteration.what;
  }
  Open("backup.soe", "s3cret");
  Run(ItemSet::Restore, "11111111");
  EXPECT_EQ(LastMessage().find("Fail!"), std::string::npos) << LastMessage();
  EXPECT_TRUE(Read("Store B\\Inbox.dbx") == Read("Store A\\Inbox.dbx"));
}

// Each row one scheduled run: the settings it finds, its command line, its exit code, the
// file it writes (the named one replaced only by a complete backup, and never in the dated
// mode, the default) and its log; a command line it cannot use does nothing at all. Its
// archive is read by 7-Zip in unattended-wine.sh.
TEST_F(JobsTest, EachScheduledRunWritesLogsAndExitsAsItsCommandLineAndSettingsSay) {
  system.now = platform::LocalTime{2026, 3, 3, 14, 5, 9};
  PutText(mailclient::kUserAccountsKey + std::string("\\00000009"), "Account Name", "Shared");
  MakeFolder("Backups");
  const std::string main = "Backups\\main.soe", dated = "Backups\\main-03-03-2026-14-05.soe";
  auto line = [&](const std::string& sf, const std::string& xm, const std::string& ps, const std::string& bf) {
    return "sf=" + sf + "xm=" + xm + "ps=" + ps + "bf=" + Path(bf);
  };
  const char* const names[] = {"Accounts",      "Address Book", "Rules",        "Mails",
                               "Block Senders", "Signatures",   "Stationeries", "Settings"};
  using backup::kUnattendedCompleted, backup::kUnattendedItemsFailed, backup::kUnattendedNotCompleted;
  const struct {
    const char* mode;  // autobackupfile; null: not set
    int damage;        // 1: the written file is damaged, 2: and the check is off
    std::string command;
    int exit;
    std::string file, items;  // each item logged: 1 Succeeded, 0 Fail, - not chosen
    std::string reason = "";  // how the log's reason for a backup not completed begins
  } cases[] = {
      {"0", 0, line("Main Identity", "11111111", "s3cret", main), kUnattendedCompleted, main, "11111111"},
      {nullptr, 0, line("Main Identity", "00000001", "", main), kUnattendedCompleted, dated, "-------1"},
      {"1", 0, line("Main Identity", "0000001", "", main), kUnattendedCompleted, dated, "------11"},
      {"0", 0, line("Nobody", "11111111", "", "Backups\\n.soe"), kUnattendedItemsFailed, "Backups\\n.soe", "11000010"},
      {"0", 0, schedule::TaskArguments({"Main Identity", "00110000", "two words", Path("Backups\\My Backups.soe")}),
       kUnattendedCompleted, "Backups\\My Backups.soe", "--11----"},
      {"0", 0, line("Main Identity", "11111111", "", "No such folder\\main.soe"), kUnattendedNotCompleted,
       "No such folder\\main.soe", "11111111", "No folder"},
      {"0", 1, line("Main Identity", "01000000", "pw", main), kUnattendedNotCompleted, main, "-1------",
       "Verification failed"},
      {"0", 2, line("Main Identity", "01000000", "pw", main), kUnattendedCompleted, main, "-1------"},
      {"0", 0, "sf=Main Identityxm=11111111", backup::kUnattendedUnusableCommand, "", "--------"},  // no bf
  };
  for (const auto& c : cases) {
    Write(main, "an older backup");
    Write("brlog.dat", "");
    Files().RemoveFile(app::SettingsFilePath());
    if (c.mode) app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", c.mode);
    if (c.damage == 2) app::WriteINI(app::SettingsFilePath(), "General", "checkbackupfile", "0");
    FaultyFiles files;
    if (c.damage) files.DamageAfterFlush(FaultyFiles::CutOffTheEnd, "Backups");
    {
      platform::ScopedServices faulty({.files = &files});
      app::CommandLine() = c.command;
      EXPECT_EQ(app::RunUnattendedBackup(state_, view_), c.exit) << c.command;
    }
    const std::string sf = c.command.substr(3, c.command.find("xm=") - 3);
    Names log = {">", "= Auto Start Backup Profile " + sf + " Data...", "= Backup File is " + Path(c.file)};
    for (int i = 0; i < app::kItemCount; ++i) {
      if (c.items[i] != '-')
        log.push_back("= Backup " + std::string(names[i]) + (c.items[i] == '1' ? " Succeeded!" : " Fail!"));
    }
    const bool complete = c.exit == kUnattendedCompleted || c.exit == kUnattendedItemsFailed;
    log.push_back("! Backup Profile " + sf + (complete ? " Data was Completed!" : " Data was not Completed!"));
    std::string got = Read("brlog.dat");
    if (const std::size_t reason = got.find(" Reason: "); reason != std::string::npos) {
      EXPECT_TRUE(!c.reason.empty() && got.compare(reason + 9, c.reason.size(), c.reason) == 0) << got;
      const std::size_t start = got.rfind('\n', reason) + 1;
      got.erase(start, got.find("\n\r\n", reason) + 3 - start);
    }
    EXPECT_EQ(got, c.exit == backup::kUnattendedUnusableCommand ? "" : Records(log)) << c.command;
    EXPECT_EQ(Read(main) == "an older backup", c.file != main || !complete) << c.command;
    EXPECT_EQ(Files().FileExists(Path(c.file)), complete || c.file == main) << c.command;
    for (const std::string& left : Files().ListFiles(dir.path())) {
      EXPECT_TRUE(left == "brlog.dat" || left == "settings.dat") << left;
    }
    EXPECT_TRUE(messages.shown.empty());
  }
}

}  // namespace
}  // namespace quarnel::testing
