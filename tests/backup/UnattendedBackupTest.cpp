// The backup a scheduled task starts, over a seeded identity: what it writes, what it
// logs, which file it replaces and never replaces, and what it exits with.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/Settings.h"
#include "archive/ZipArchive.h"
#include "backup/InfoFile.h"
#include "backup/ItemsFixture.h"
#include "backup/UnattendedBackup.h"
#include "mailclient/Identities.h"
#include "schedule/TaskCommands.h"
#include "support/FaultyFiles.h"
#include "support/FakeMainView.h"

namespace quarnel::testing {
namespace {

using app::CommandLine;

class UnattendedBackupTest : public ItemsTest {
 protected:
  void SetUp() override {
    ItemsTest::SetUp();
    system_.now = platform::LocalTime{2026, 3, 3, 14, 5, 9};
    SeedAll();
    mailclient::BuildIdentityList(state_);
    MakeFolder("Backups");
  }
  void TearDown() override {
    CommandLine().clear();
    ItemsTest::TearDown();
  }

  int Run(const std::string& commandLine) {
    CommandLine() = commandLine;
    return app::RunUnattendedBackup(state_, view_);
  }
  std::string Log() const { return Read("brlog.dat"); }
  std::string At() { return system_.GeneralDate(*system_.now); }
  // The entry names of the archive at the path, and its information file's text.
  std::vector<std::string> Entries(const std::string& below, const std::string& password = "") {
    archive::ZipArchive zip;
    EXPECT_TRUE(zip.OpenArchive(Path(below))) << zip.LastError();
    zip.ReadPassword(password);
    EXPECT_EQ(zip.CheckPassword(), 1);
    std::vector<std::string> names;
    for (const char* name : {"quarnel.dat", "Inbox.dbx", "Gel\xF6schte Objekte.dbx", "Folders.DBX", "notes.txt",
                             "alice.wab", "Ivy.htm", "Ivy.gif"}) {
      if (zip.FindEntry(name)) names.push_back(name);
    }
    if (auto info = zip.FindEntry("quarnel.dat"); info && info->ExtractToFolder(Path("Backups"))) {
      info_ = Read("Backups\\quarnel.dat");
      platform::Files().RemoveFile(Path("Backups\\quarnel.dat"));
    }
    return names;
  }

  FakeMainView view_;
  std::string info_;
};

TEST_P(UnattendedBackupTest, BacksUpEveryItemProtectedAndLogsItsOwnTexts) {
  app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", "0");
  const std::string target = Path("Backups\\main.soe");
  ASSERT_EQ(Run("sf=Main Identityxm=11111111ps=s3cretbf=" + target), backup::kUnattendedCompleted);
  EXPECT_EQ(Entries("Backups\\main.soe", "s3cret"),
            (std::vector<std::string>{"quarnel.dat", "Inbox.dbx", "Gel\xF6schte Objekte.dbx", "Folders.DBX", "alice.wab",
                                      "Ivy.htm", "Ivy.gif"}));
  EXPECT_EQ(info_.find("BackupComputer"), std::string::npos);
  EXPECT_EQ(info_.find("BackupLogonUser"), std::string::npos);
  EXPECT_EQ(info_.substr(0, 36), "BackupIdentity=Main Identity\r\nBackup");
  EXPECT_NE(info_.find("\r\nBackupInformation=Auto Backup\r\n"), std::string::npos);
  EXPECT_NE(info_.find("\r\nBackupItem=11111111\r\n"), std::string::npos);

  const std::string t = At();
  const std::string run = std::string(84, '.') + "\r\r\n" + t + " Auto Start Backup Profile Main Identity Data...\n\r\n" +
                          t + " Backup File is " + target + "\n\r\n" + t + " Backup Accounts Succeeded!\n\r\n" + t +
                          " Backup Address Book Succeeded!\n\r\n" + t + " Backup Rules Succeeded!\n\r\n" + t +
                          " Backup Mails Succeeded!\n\r\n" + t + " Backup Block Senders Succeeded!\n\r\n" + t +
                          " Backup Signatures Succeeded!\n\r\n" + t + " Backup Stationeries Succeeded!\n\r\n" + t +
                          " Backup Settings Succeeded!\n\r\n" + t + " Backup Profile Main Identity Data was Completed!\r\r\n";
  const std::string log = Log();
  ASSERT_GE(log.size(), run.size());
  EXPECT_EQ(log.substr(log.size() - run.size()), run);
  // Nothing of the run is left in the data folder but the settings and the log.
  std::vector<std::string> left = platform::Files().ListFiles(app::DataFolder());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"brlog.dat", "settings.dat"}));
  EXPECT_TRUE(view_.pumps > 0);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(UnattendedBackupTest, DatedModeWritesANewFileAndLeavesTheNamedOneAlone) {
  Write("Backups\\main.soe", "an older backup");
  ASSERT_EQ(Run("sf=Main Identityxm=00000001ps=bf=" + Path("Backups\\main.soe")), backup::kUnattendedCompleted);
  EXPECT_EQ(Read("Backups\\main.soe"), "an older backup");
  EXPECT_EQ(Entries("Backups\\main-03-03-2026-14-05.soe"), (std::vector<std::string>{"quarnel.dat"}));
  EXPECT_NE(info_.find("BackupItem=00000001"), std::string::npos);
  EXPECT_NE(Log().find(" Backup File is " + Path("Backups\\main-03-03-2026-14-05.soe") + "\n"), std::string::npos);
}

TEST_P(UnattendedBackupTest, ReplaceModeReplacesTheNamedFileOnlyWithACompleteBackup) {
  app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", "0");
  Write("Backups\\main.soe", "an older backup");
  ASSERT_EQ(Run("sf=Main Identityxm=00000000ps=bf=" + Path("Backups\\main.soe")), backup::kUnattendedCompleted);
  EXPECT_EQ(Entries("Backups\\main.soe"), (std::vector<std::string>{"quarnel.dat"}));
  EXPECT_NE(info_.find("BackupItem=00000000"), std::string::npos);
  EXPECT_EQ(Log().find(" Succeeded!"), std::string::npos);
}

TEST_P(UnattendedBackupTest, AFileThatCannotBeWrittenIsNotReportedCompleted) {
  app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", "0");
  const std::string target = Path("No such folder\\main.soe");
  ASSERT_EQ(Run("sf=Main Identityxm=11111111ps=bf=" + target), backup::kUnattendedNotCompleted);
  const std::string log = Log();
  const std::string closing = At() + " Backup Profile Main Identity Data was not Completed!\r\r\n";
  ASSERT_GE(log.size(), closing.size());
  EXPECT_EQ(log.substr(log.size() - closing.size()), closing);
  EXPECT_EQ(log.find("was Completed!"), std::string::npos);
  std::vector<std::string> left = platform::Files().ListFiles(app::DataFolder());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"brlog.dat", "settings.dat"}));
}

// "Check backup file after backup procedure" (on unless turned off): a backup damaged on its
// way to the disk never replaces the previous one and is not reported completed.
TEST_P(UnattendedBackupTest, ABackupThatFailsItsCheckReplacesNothing) {
  app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", "0");
  Write("Backups\\main.soe", "an older backup");
  FaultyFiles files;
  files.DamageAfterFlush(FaultyFiles::CutOffTheEnd, "Backups");
  {
    platform::ScopedServices damaging({.files = &files});
    EXPECT_EQ(Run("sf=Main Identityxm=01000000ps=pwbf=" + Path("Backups\\main.soe")), backup::kUnattendedNotCompleted);
  }
  EXPECT_EQ(Read("Backups\\main.soe"), "an older backup");
  EXPECT_NE(Log().find(" Backup Profile Main Identity Data was not Completed!\r"), std::string::npos);
  EXPECT_EQ(platform::Files().ListFiles(Path("Backups")), std::vector<std::string>{"main.soe"});

  // With the check turned off the damage goes unnoticed: the setting is what protects.
  app::WriteINI(app::SettingsFilePath(), "General", "checkbackupfile", "0");
  platform::ScopedServices damaging({.files = &files});
  EXPECT_EQ(Run("sf=Main Identityxm=01000000ps=pwbf=" + Path("Backups\\main.soe")), backup::kUnattendedCompleted);
  EXPECT_NE(Read("Backups\\main.soe"), "an older backup");
}

TEST_P(UnattendedBackupTest, AnUnknownIdentityBacksUpWhatIsNotItsOwnAndFailsTheRest) {
  MakeKey("Software\\Microsoft\\Internet Account Manager\\Accounts\\00000009");
  ASSERT_EQ(Run("sf=Nobodyxm=11111111ps=bf=" + Path("Backups\\n.soe")), backup::kUnattendedItemsFailed);
  const std::string log = Log();
  for (const char* text : {" Backup Accounts Succeeded!", " Backup Address Book Succeeded!", " Backup Rules Fail!",
                           " Backup Mails Fail!", " Backup Block Senders Fail!", " Backup Signatures Fail!",
                           " Backup Stationeries Succeeded!", " Backup Settings Fail!",
                           " Backup Profile Nobody Data was Completed!\r"}) {
    EXPECT_NE(log.find(text), std::string::npos) << text;
  }
}

TEST_P(UnattendedBackupTest, AShortItemStringCountsTheMissingItemsAsChosen) {
  ASSERT_EQ(Run("sf=Main Identityxm=0000001ps=bf=" + Path("Backups\\s.soe")), backup::kUnattendedCompleted);
  EXPECT_NE(Log().find(" Backup Stationeries Succeeded!"), std::string::npos);
  EXPECT_NE(Log().find(" Backup Settings Succeeded!"), std::string::npos);
  EXPECT_EQ(Log().find(" Backup Mails"), std::string::npos);
}

// What the Task Scheduler window schedules is what the scheduled run backs up.
TEST_P(UnattendedBackupTest, TheScheduledCommandLineProducesTheBackupItDescribes) {
  app::WriteINI(app::SettingsFilePath(), "autobackup", "autobackupfile", "0");
  const schedule::TaskOptions task{"Main Identity", "00110000", "two words", Path("Backups\\My Backups.soe")};
  ASSERT_EQ(Run(schedule::TaskArguments(task)), backup::kUnattendedCompleted);
  EXPECT_EQ(Entries("Backups\\My Backups.soe", "two words"),
            (std::vector<std::string>{"quarnel.dat", "Inbox.dbx", "Gel\xF6schte Objekte.dbx", "Folders.DBX"}));
  EXPECT_NE(info_.find("BackupIdentity=Main Identity\r\n"), std::string::npos);
  EXPECT_NE(info_.find("\r\nBackupItem=00110000\r\n"), std::string::npos);
  EXPECT_NE(info_.find("\r\nBackupRules=OBR"), std::string::npos);
}

TEST_P(UnattendedBackupTest, AnUnusableCommandLineDoesNothingAtAll) {
  for (const char* line : {"sf=Main Identityxm=11111111", "sf=xm=11111111ps=bf=x.soe", "sf=Axm=ps=bf=x.soe",
                           "sf=Axm=1ps=bf=", "hello"}) {
    EXPECT_EQ(Run(line), backup::kUnattendedUnusableCommand) << line;
  }
  EXPECT_FALSE(Exists("brlog.dat"));
  EXPECT_TRUE(platform::Files().ListFiles(Path("Backups")).empty());
}

INSTANTIATE_TEST_SUITE_P(Registries, UnattendedBackupTest, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
