// The backup job, opening a backup file and the restore job over a fake main window, on
// the seeded identities of the items' fixture (in-memory registry).
#include <algorithm>
#include <string>
#include <vector>

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/MainArchiveListener.h"
#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/InfoFile.h"
#include "backup/ItemsFixture.h"
#include "mainwindow/MainWindowLogic.h"
#include "support/FakeMainView.h"
#include "support/FaultyFiles.h"

namespace quarnel::testing {
namespace {

using app::Control;
using app::ItemSet;
using app::ModalWindow;
using platform::Files;
using platform::MessageIcon;

class JobsTest : public ItemsTest {
 protected:
  void SetUp() override {
    ItemsTest::SetUp();
    system_.now = platform::LocalTime{2026, 12, 5, 14, 30, 0};
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

  void Tick(ItemSet set, const std::string& flags) {
    for (int i = 0; i < app::kItemCount; ++i) view_.items[set == ItemSet::Backup ? 0 : 1][i].checked = flags[i] == '1';
  }
  void Protect(const std::string& password, const std::string& again) {
    view_.controls[Control::ifprotect].checked = true;
    view_.controls[Control::txtPassword].text = password;
    view_.controls[Control::txtPassword2].text = again;
  }
  void Backup(const std::string& flags) {
    Tick(ItemSet::Backup, flags);
    app::RunBackupJob(state_, view_);
  }
  // Opens the backup as the Browse button does, the prompt answered with `password`.
  void Open(const std::string& file, const std::string& password = "") {
    view_.dialogAnswer = file;
    view_.onModal = [this, password](ModalWindow window) {
      if (window == ModalWindow::Password) state_.RestorePassword = password;
    };
    app::OpenBackupFile(state_, view_);
  }
  std::string LastMessage() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }
  std::string Log() const { return Read("brlog.dat"); }
  bool LogEndsWith(const std::string& bytes) {
    const std::string log = Log();
    return log.size() >= bytes.size() && log.compare(log.size() - bytes.size(), bytes.size(), bytes) == 0;
  }
  // The log records a run writes, as their bytes: ">" a separator, "=" an event, "!" a closing event.
  std::string Records(const std::vector<std::string>& records) {
    const std::string stamp = system_.GeneralDate(*system_.now);
    std::string bytes;
    for (const std::string& r : records) {
      if (r == ">") bytes += std::string(84, '.') + "\r\r\n";
      if (r[0] == '=') bytes += stamp + r.substr(1) + "\n\r\n";
      if (r[0] == '!') bytes += stamp + r.substr(1) + "\r\r\n";
    }
    return bytes;
  }

  testing::FakeMainView view_;
  app::MainArchiveListener listener_{view_};
};

TEST_P(JobsTest, TheFourChecksStopTheBackupWithTheirMessageAndTouchNothing) {
  Write("backup.soe", "the previous backup");
  const struct {
    std::string target, items;
    bool protect;
    std::string password, again, message;
    MessageIcon icon;
  } cases[] = {
      {"", "11111111", false, "", "", "Invalid backup file name.", MessageIcon::Exclamation},
      {"backup.soe", "00000000", false, "", "", "Please select at least one item.", MessageIcon::Exclamation},
      {"backup.soe", "00010000", true, "", "", "Please enter Password!", MessageIcon::Critical},
      {"backup.soe", "00010000", true, "one", "One", "Incorect Password!", MessageIcon::Critical},
      {"backup.soe", "00010000", true, "", "one", "Incorect Password!", MessageIcon::Critical},
  };
  for (const auto& c : cases) {
    messages_.shown.clear();
    state_.TargetPath = c.target.empty() ? "" : Path(c.target);
    view_.controls[Control::ifprotect].checked = c.protect;
    view_.controls[Control::txtPassword].text = c.password;
    view_.controls[Control::txtPassword2].text = c.again;
    Backup(c.items);
    ASSERT_EQ(messages_.shown.size(), 1u) << c.message;
    EXPECT_EQ(messages_.shown[0].text, c.message);
    EXPECT_EQ(messages_.shown[0].title, "Quarnel Backup");
    EXPECT_EQ(messages_.shown[0].icon, c.icon);
    EXPECT_FALSE(view_.waitCursor);
  }
  EXPECT_TRUE(Read("backup.soe") == "the previous backup");
  EXPECT_FALSE(Exists("brlog.dat"));
  EXPECT_FALSE(Exists("quarnel.dat"));
  EXPECT_FALSE(state_.JobRunning);
}

TEST_P(JobsTest, OneMessagesItemGivesItsFlagsSummaryAndLogRecordsAndReplacesAnOlderBackup) {
  Write("backup.soe", "the previous backup");
  Write("~qb1f.tmp.0073840e", "part of the archive of a run that was ended");
  view_.controls[Control::txtAttachInfo].text = "first line\r\nsecond line";
  Protect("differs", "ignored when unticked");
  view_.controls[Control::ifprotect].checked = false;
  Backup("00010000");
  EXPECT_EQ(LastMessage(), "The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed!");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Information);
  EXPECT_EQ(Log(),
            Records({">", "= Start Backup Profile Main Identity Data...", "= Backup File is " + Path("backup.soe"),
                     "= Backup Messages Succeeded!", "! Backup Profile Main Identity Data was Completed!"}));
  EXPECT_EQ(state_.Zip1->IsArchiveProtected(Path("backup.soe")), 0);
  Open(Path("backup.soe"));
  EXPECT_EQ(state_.BackupItemFlags, "00010000");
  EXPECT_EQ(view_.Text(Control::txtFileInfo), "first line\r\nsecond line");
  EXPECT_EQ(view_.Text(Control::txtPOBinfo),
            "Computer:BOX\r\nUser:alice\r\nIdentity:Main Identity\r\nDate:" + system_.GeneralDate(*system_.now));
  // The job's own files are gone, and what an ended run left; the panel and the labels are
  // back as they were.
  EXPECT_EQ(FolderListing(dir_.path()), (std::vector<std::string>{"backup.soe", "brlog.dat"}));
  EXPECT_FALSE(view_.Visible(Control::picCon3));
  EXPECT_EQ(view_.Text(Control::Label1), "Please Waiting...");
  EXPECT_EQ(view_.Progress(), 0);
  EXPECT_EQ(archive::ArchiveWritten(), 0);
}

TEST_P(JobsTest, FailingItemsAreReportedInOrderAndWithoutAnIdentityNeverSucceed) {
  PutText("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", Path("nowhere"));
  Backup("00100010");
  EXPECT_EQ(LastMessage(), "The Backup was Completed!\r\n\r\nBackup Rules\tSuccessed!\r\nBackup Stationeries\tFail!");
  EXPECT_EQ(Log(), Records({">", "= Start Backup Profile Main Identity Data...",
                            "= Backup File is " + Path("backup.soe"), "= Backup Rules Succeeded!",
                            "= Backup Stationeries Fail!", "! Backup Profile Main Identity Data was Completed!"}));
  Open(Path("backup.soe"));
  EXPECT_EQ(state_.BackupItemFlags, "00100000");

  // Reached through the menus with no identity listed: the identity's items do not run.
  view_.controls[Control::cbSource].index = -1;
  Backup("01010000");
  EXPECT_EQ(LastMessage(), "The Backup was Completed!\r\n\r\nBackup Adress Book\tSuccessed!\r\nBackup Messages\tFail!");
  Open(Path("backup.soe"));
  EXPECT_EQ(state_.BackupItemFlags, "01000000");
}

TEST_P(JobsTest, AnArchiveThatCannotBeWrittenIsNotCompletedAndKeepsThePreviousBackup) {
  app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "1");
  Write("backup.soe", "the previous backup");
  // A mail folder that goes away once added (as one that Outlook Express holds open).
  view_.onPump = [&] {
    if (InfoText().find("BackupMails=") != std::string::npos) Files().RemoveFile(Path("Store A\\Inbox.dbx"));
  };
  Backup("10010000");
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
  const std::string heading = "The Backup was not Completed!\r\n\r\nThe backup file could not be written:\r\n" +
                              Path("backup.soe") + "\r\n\r\nCannot read";
  EXPECT_EQ(LastMessage().rfind(heading, 0), 0u) << LastMessage();
  EXPECT_NE(LastMessage().find("Inbox.dbx"), std::string::npos);
  EXPECT_TRUE(Read("backup.soe") == "the previous backup");
  EXPECT_TRUE(
      LogEndsWith(Records({"= Backup Messages Succeeded!", "! Backup Profile Main Identity Data was not Completed!"})));
  EXPECT_TRUE(view_.modals.empty());  // no after-action
  EXPECT_EQ(FolderListing(dir_.path()), (std::vector<std::string>{"backup.soe", "brlog.dat", "settings.dat"}));

  view_.onPump = nullptr;
  state_.TargetPath = Path("gone\\backup.soe");
  Backup("00010000");
  EXPECT_EQ(LastMessage(), "The Backup was not Completed!\r\n\r\nThe backup file could not be written:\r\n" +
                               Path("gone\\backup.soe") + "\r\n\r\nNo folder \"" + Path("gone") + "\"");
}

TEST_P(JobsTest, AnArchiveThatFailsItsCheckOrItsFlushNeverReplacesThePreviousBackup) {
  Write("backup.soe", "the previous backup");
  std::vector<std::string> labels;
  view_.onPump = [&] { labels.push_back(view_.Text(Control::Label1)); };
  const struct {
    bool damage;  // else the flush to the disk fails, as on a full disk
    const char* line;
    const char* reason;
  } cases[] = {
      {true, "The backup file could not be verified:", "Verification failed"},
      {false, "The backup file could not be written:", "Cannot write"},
  };
  for (const auto& c : cases) {
    FaultyFiles files;
    if (c.damage) {
      files.DamageAfterFlush();
    } else {
      files.Fail(FileCall::FlushToDisk);
    }
    platform::ScopedServices faulty({.files = &files});
    messages_.shown.clear();
    labels.clear();
    Backup("00010000");
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
    const std::string heading = "The Backup was not Completed!\r\n\r\n" + std::string(c.line) + "\r\n" +
                                Path("backup.soe") + "\r\n\r\n" + c.reason;
    EXPECT_EQ(LastMessage().rfind(heading, 0), 0u) << LastMessage();
    EXPECT_TRUE(Read("backup.soe") == "the previous backup");
    EXPECT_TRUE(LogEndsWith(Records({"! Backup Profile Main Identity Data was not Completed!"})));
    EXPECT_EQ(std::count(labels.begin(), labels.end(), "Checking backup file...") > 0, c.damage);
  }
  // With the check off nothing is read back: the damage goes unnoticed, as the setting says.
  app::WriteINI(app::SettingsFilePath(), "General", "checkbackupfile", "0");
  FaultyFiles files;
  files.DamageAfterFlush();
  platform::ScopedServices faulty({.files = &files});
  labels.clear();
  Backup("00010000");
  EXPECT_EQ(LastMessage(), "The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed!");
  EXPECT_EQ(std::count(labels.begin(), labels.end(), "Checking backup file..."), 0);
}

TEST_P(JobsTest, AfterACompletedBackupTheDiscWriterTheMailClientAndTheFolderInThisOrder) {
  app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "1");
  PutText("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", "Path", "C:\\OE");
  std::size_t startedAtDisc = 99;
  view_.onModal = [&](ModalWindow) { startedAtDisc = processes_.started.size(); };
  Backup("00010000");
  ASSERT_EQ(view_.modals, std::vector<ModalWindow>{ModalWindow::DiscWriter});
  EXPECT_EQ(state_.DiscWriterHandOver.fileName, "backup.soe");
  EXPECT_EQ(state_.DiscWriterHandOver.path, Path("backup.soe"));
  EXPECT_EQ(startedAtDisc, 0u);
  ASSERT_EQ(processes_.started.size(), 2u);
  EXPECT_EQ(processes_.started[0].commandLine, "\"C:\\OE\\msimn.exe\"");
  EXPECT_EQ(processes_.started[1].commandLine, "explorer /n," + Path(""));
  EXPECT_EQ(processes_.started[1].state, platform::WindowState::Normal);
}

TEST_P(JobsTest, WhileAJobRunsASecondOneAndTheJobCommandsAreRefused) {
  app::MainWindowLogic logic(state_, view_);
  int refusedInside = 0;
  view_.onPump = [&] {
    if (!state_.JobRunning) return;
    std::size_t shown = messages_.shown.size();
    for (app::Command c : {app::Command::Backup, app::Command::Restore, app::Command::Apply, app::Command::SourceFile,
                           app::Command::TargetFile, app::Command::Quit}) {
      logic.Run(c);
    }
    app::RunBackupJob(state_, view_);
    app::RunRestoreJob(state_, view_);
    if (messages_.shown.size() == shown && view_.quits == 0 && view_.dialogs.empty()) ++refusedInside;
  };
  Backup("00010001");
  EXPECT_GT(refusedInside, 3);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(LastMessage(),
            "The Backup was Completed!\r\n\r\nBackup Messages\tSuccessed!\r\nBackup Settings\tSuccessed!");
  EXPECT_FALSE(state_.JobRunning);
  logic.Run(app::Command::Quit);
  EXPECT_EQ(view_.quits, 1);
}

TEST_P(JobsTest, TheTargetDialogProposesTodaysNameInTheBackupFolder) {
  view_.dialogAnswer.reset();
  app::ChooseTargetFile(state_, view_);
  ASSERT_EQ(view_.dialogs.size(), 1u);
  EXPECT_EQ(view_.dialogs[0].title, "Save Outlook Express Data as");
  EXPECT_EQ(view_.dialogs[0].filter, "Quarnel Backup File (*.soe)|*.soe");
  EXPECT_EQ(view_.dialogs[0].fileName, "quarnel-Main Identity-12-05-2026");
  EXPECT_EQ(view_.dialogs[0].initialFolder, dir_.path());
  EXPECT_EQ(state_.TargetPath, Path("backup.soe"));  // cancelled: nothing changes

  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", Path("Backups"));
  view_.dialogAnswer = Path("Backups\\mine.soe");
  app::ChooseTargetFile(state_, view_);
  EXPECT_EQ(view_.dialogs[1].initialFolder, Path("Backups"));
  EXPECT_EQ(state_.TargetPath, Path("Backups\\mine.soe"));
  EXPECT_EQ(view_.Text(Control::txtTargetFile), Path("Backups\\mine.soe"));
}

TEST_P(JobsTest, OpeningAProtectedBackupAsksForItsPasswordAndARefusedOneLeavesThePageEmpty) {
  Protect("s3cret", "s3cret");
  Backup("10010000");
  messages_.shown.clear();
  view_.modals.clear();
  state_.RestorePassword = "earlier";
  Open(Path("backup.soe"), "wrong");
  EXPECT_EQ(view_.modals, std::vector<ModalWindow>{ModalWindow::Password});
  EXPECT_EQ(LastMessage(), "Incorect Password or Invalid backup file");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Information);
  EXPECT_EQ(view_.Text(Control::txtSourceFile), "");
  EXPECT_TRUE(state_.NoValidBackupFile);

  // Cancelled: RestorePassword stays as it was, here the right one.
  state_.RestorePassword = "s3cret";
  view_.dialogAnswer = Path("backup.soe");
  view_.onModal = nullptr;
  app::OpenBackupFile(state_, view_);
  ASSERT_EQ(view_.dialogs.back().title, "Restore Data from a Backup file");
  EXPECT_EQ(view_.dialogs.back().filter, "Quarnel Backup File(*.soe)|*.soe");
  EXPECT_EQ(view_.Text(Control::txtSourceFile), Path("backup.soe"));
  EXPECT_EQ(state_.BackupFilePath, Path("backup.soe"));
  EXPECT_FALSE(state_.NoValidBackupFile);
  for (int i = 0; i < app::kItemCount; ++i) {
    EXPECT_EQ(view_.ItemEnabled(ItemSet::Restore, i), i == 0 || i == 3) << i;
    EXPECT_FALSE(view_.ItemChecked(ItemSet::Restore, i));
  }
  EXPECT_EQ(state_.ItemEntryNames[1], "");
  EXPECT_EQ(state_.ItemEntryNames[3].find("Inbox.dbx") != std::string::npos, true);
  EXPECT_FALSE(Exists("quarnel.dat"));

  // A backup without a password never shows the prompt.
  view_.controls[Control::ifprotect].checked = false;
  Backup("00010000");
  view_.modals.clear();
  Open(Path("backup.soe"));
  EXPECT_TRUE(view_.modals.empty());
  EXPECT_FALSE(state_.NoValidBackupFile);
}

TEST_P(JobsTest, AFileWithoutAnInformationFileOrWithSevenFlagsIsInvalid) {
  const std::string valid = "BackupIdentity=Main Identity\r\nBackupItem=00010000\r\nBackupMails=Inbox.dbx\r\n";
  const struct {
    std::vector<RawEntry> entries;
  } cases[] = {
      {{{"Inbox.dbx", "mail"}}},
      {{{"Inbox.dbx", "mail"}, {"quarnel.dat", "BackupIdentity=Main Identity\r\nBackupItem=0001000\r\n"}}},
  };
  // A valid file first: its information file must not describe the next one.
  ASSERT_TRUE(MakeZipDirectly(dir_.File("valid.soe"), {{"Inbox.dbx", "mail"}, {"quarnel.dat", valid}}));
  Open(Path("valid.soe"));
  ASSERT_FALSE(state_.NoValidBackupFile);
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "other" + std::to_string(++n) + ".soe";  // the one opened before stays open
    ASSERT_TRUE(MakeZipDirectly(dir_.File(name), c.entries));
    messages_.shown.clear();
    Open(Path(name));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(LastMessage(), "Invalid backup file");
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(state_.NoValidBackupFile);
    for (int i = 0; i < app::kItemCount; ++i) EXPECT_FALSE(view_.ItemEnabled(ItemSet::Restore, i));
    EXPECT_FALSE(Exists("quarnel.dat"));
  }
  EXPECT_EQ(view_.Text(Control::txtPOBinfo), "Computer:\r\nUser:\r\nIdentity:Main Identity\r\nDate:");
}

TEST_P(JobsTest, TheRestoreRunsTheCheckedItemsTheBackupHoldsIntoTheChosenIdentity) {
  Backup("00010001");
  messages_.shown.clear();
  processes_.started.clear();
  Files().RemoveFile(Path("brlog.dat"));
  state_.NoValidBackupFile = true;
  app::RunRestoreJob(state_, view_);
  EXPECT_EQ(LastMessage(), "Invalid backup file.");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Critical);
  Open(Path("backup.soe"));
  Tick(ItemSet::Restore, "00000000");
  app::RunRestoreJob(state_, view_);
  EXPECT_EQ(LastMessage(), "Please select at least one item.");
  EXPECT_FALSE(Exists("brlog.dat"));

  // Messages and Settings are in the backup, Rules is not: it is passed over in silence. A
  // mail folder that only an ended restore's kept copy holds is first put back.
  Write("Store B\\~qbr.old.Kept.dbx.tmp", "kept");
  Tick(ItemSet::Restore, "00110001");
  app::RunRestoreJob(state_, view_);
  EXPECT_EQ(Read("Store B\\Kept.dbx"), "kept");
  EXPECT_EQ(LastMessage(),
            "The Restore was Completed!\r\n\r\nRestore Messages\tSuccessed!\r\nRestore Settings\tSuccessed!");
  EXPECT_EQ(Log(), Records({">", "= Start Retore Data to Profile Work", "= Restore File is " + Path("backup.soe"),
                            "= Restore Messages Succeeded!", "= Restore Settings Succeeded!",
                            "! Restore Data to Profile Work was Completed!"}));
  EXPECT_TRUE(Read("Store B\\Inbox.dbx") == Read("Store A\\Inbox.dbx"));
  EXPECT_TRUE(processes_.started.empty());  // no App Paths entry: nothing to start

  Tick(ItemSet::Restore, "00100000");  // nothing the backup holds
  app::RunRestoreJob(state_, view_);
  EXPECT_EQ(LastMessage(), "The Restore was Completed!\r\n");
  view_.controls[Control::cbTarget].index = -1;  // no identity to restore into
  Tick(ItemSet::Restore, "00010000");
  app::RunRestoreJob(state_, view_);
  EXPECT_EQ(LastMessage(), "The Restore was Completed!\r\n\r\nRestore Messages\tFail!");
}

// A program folder the user may not write to (an installation under Program Files on
// Vista and later): the whole cycle works, the program's own files in %APPDATA%.
TEST_P(JobsTest, AReadOnlyProgramFolderKeepsBackupOpenAndRestoreWorking) {
  const std::string program = MakeFolder("Program Files\\Quarnel Backup");
  OverrideSystem readOnly(program);
  readOnly.programFolderReadOnly = true;
  readOnly.appDataFolder = MakeFolder("AppData");
  readOnly.now = system_.now;
  platform::ScopedServices scope({.system = &readOnly});
  const std::string data = Path("AppData\\Quarnel Backup");
  ASSERT_EQ(app::DataFolder(), data);
  state_.InfoFilePath = app::JoinPath(data, "quarnel.dat");

  Backup("11111111");
  EXPECT_EQ(LastMessage().rfind("The Backup was Completed!\r\n", 0), 0u) << LastMessage();
  EXPECT_EQ(LastMessage().find("Fail!"), std::string::npos) << LastMessage();
  Open(Path("backup.soe"));
  Tick(ItemSet::Restore, "11111111");
  app::RunRestoreJob(state_, view_);
  EXPECT_EQ(LastMessage().rfind("The Restore was Completed!\r\n", 0), 0u) << LastMessage();
  EXPECT_EQ(LastMessage().find("Fail!"), std::string::npos) << LastMessage();
  EXPECT_TRUE(Files().ListFiles(program).empty());
  EXPECT_EQ(Files().ListFiles(data), std::vector<std::string>{"brlog.dat"});
  EXPECT_NE(Read("AppData\\Quarnel Backup\\brlog.dat").find(" Restore Data to Profile Work was Completed!"),
            std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Memory, JobsTest, ::testing::Values(RegistryBackends().front()), BackendName);

}  // namespace
}  // namespace quarnel::testing
