#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Settings.h"
#include "support/RecordedSeams.h"

namespace quarnel::app {
namespace {

using platform::Files;

// Each test runs with a fresh program folder of its own.
class SettingsTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  std::string File(const std::string& name) { return JoinPath(dir.path(), name); }
};

// The profile's own rules are ProfileContract's; here what ReadINI and WriteINI add.
TEST_F(SettingsTest, ReadINITrimsWhatQuotesKeptAndWriteINICutsTo128) {
  std::string settings = SettingsFilePath();
  EXPECT_EQ(settings, File("settings.dat"));
  ASSERT_TRUE(Files().WriteAll(settings, "[backup]\r\nautomgeneratefile=\"  1  \"\r\n"));
  EXPECT_EQ(ReadINI(settings, "Backup", "AutomGenerateFile"), "1");
  WriteINI(settings, "backup", "backupfolder", "D:\\Sicherungen f\xFCr J\xF6rg\\" + std::string(200, 'v'));
  char buffer[512];
  EXPECT_EQ(platform::Profile().GetString("backup", "backupfolder", "", buffer, sizeof buffer, settings), 128u);
  EXPECT_EQ(ReadINI(settings, "backup", "backupfolder"), std::string(buffer, 127));
}

TEST_F(SettingsTest, SaveINIAppendsAndGetINIFindsTheFirstMatchAndStopsAtAnEmptyLine) {
  std::string info = File("quarnel.dat");
  ASSERT_TRUE(Files().WriteAll(info,
                               "BackupComputer=PC1\r\n"
                               "no equals sign\r\n"
                               " BackupIdentity=blank before the name\r\n"
                               "BackupTime=12/5/2026 1:02:03 PM\r\n"
                               "BackupInformation=a=b=c\r\n"
                               "BackupEmpty=\r\n"
                               "backuptime=second one\r\n"
                               "\r\n"
                               "BackupItem=10010000\r\n"));
  EXPECT_EQ(GetINI("backuptime", info), "12/5/2026 1:02:03 PM");
  EXPECT_EQ(GetINI("BACKUPCOMPUTER", info), "PC1");
  EXPECT_EQ(GetINI("BackupInformation", info), "a=b=c");
  EXPECT_EQ(GetINI("BackupEmpty", info), "");
  EXPECT_EQ(GetINI("BackupIdentity", info), "");  // names are not trimmed
  EXPECT_EQ(GetINI("BackupItem", info), "");      // after the empty line
  EXPECT_EQ(GetINI("BackupItem", File("missing.dat")), "");

  std::string saved = File("saved.dat");
  ASSERT_TRUE(SaveINI("BackupIdentity", "J\xF6rg's Arbeit", saved));
  ASSERT_TRUE(SaveINI("BackupItem", "10010000", saved));
  ASSERT_TRUE(SaveINI("BackupItem", "11111111", saved));  // appending never replaces
  std::string text;
  ASSERT_TRUE(Files().ReadAll(saved, &text));
  EXPECT_EQ(text, "BackupIdentity=J\xF6rg's Arbeit\r\nBackupItem=10010000\r\nBackupItem=11111111\r\n");
  EXPECT_EQ(GetINI("backupitem", saved), "10010000");
  EXPECT_FALSE(SaveINI("x", "y", File("no-folder\\quarnel.dat")));
}

// Under "Program Files" on Vista and later the program may not write beside itself; its own
// files then go to "Quarnel Backup" in the user's application-data folder.
TEST_F(SettingsTest, AReadOnlyProgramFolderSendsEveryFileToTheApplicationDataFolder) {
  EXPECT_EQ(DataFolder(), dir.path());  // writable: everything beside the program
  std::string temporary = sGetTempFile("sig");
  EXPECT_EQ(Files().ListFiles(dir.path()).size(), 1u);  // the probe leaves nothing behind
  EXPECT_EQ(temporary.substr(0, dir.path().size() + 4), dir.path() + "\\sig");

  testing::TempFolder program, appData;
  testing::OverrideSystem readOnly(program.path());
  readOnly.programFolderReadOnly = true;
  readOnly.appDataFolder = appData.path();
  platform::ScopedServices scope({.system = &readOnly});
  const std::string own = JoinPath(appData.path(), "Quarnel Backup");
  EXPECT_EQ(DataFolder(), own);  // the settings there: SettingsLogicTest
  EXPECT_EQ(LogFilePath(), JoinPath(own, "brlog.dat"));
  EXPECT_EQ(ResolveBackupFolder(), own);  // generated backup names land somewhere writable
  temporary = sGetTempFile("OBA");
  EXPECT_EQ(temporary.substr(0, own.size() + 1), own + "\\");
  ASSERT_TRUE(AppendLog(LogFilePath(), LogSeparator()));
  EXPECT_TRUE(Files().ListFiles(program.path()).empty());

  testing::TempFolder elsewhere;
  testing::OverrideSystem nowhere(elsewhere.path());  // and no application-data folder either
  nowhere.programFolderReadOnly = true;
  nowhere.appDataFolder = "";
  platform::ScopedServices scope2({.system = &nowhere});
  EXPECT_EQ(DataFolder(), elsewhere.path());
}

// Absent flags are on for the jobs; numbers compare as numbers and anything else matches.
TEST_F(SettingsTest, TheFlagRule) {
  const std::tuple<const char*, int, bool> cases[] = {
      {"1", 1, true}, {" 1 ", 1, true}, {"1.0", 1, true}, {"0", 1, false}, {"2", 1, false}, {"-1", 1, false},
      {"", 1, true},  {"yes", 1, true}, {"1x", 1, true},  {"", 0, true},   {"0", 0, true},  {"1", 0, false},
  };
  for (const auto& [text, flag, equal] : cases) EXPECT_EQ(FlagEquals(text, flag), equal) << text << " " << flag;
  EXPECT_TRUE(SettingOn("backup", "automgeneratefile"));
  WriteINI(SettingsFilePath(), "backup", "automgeneratefile", "0");
  EXPECT_FALSE(SettingOn("backup", "automgeneratefile"));
}

// A backup folder at the root of a drive (a USB stick) keeps its one backslash.
TEST(JoinPath, ADriveRootTakesNoSecondBackslash) {
  EXPECT_EQ(JoinPath("E:\\", "outbackup-Main Identity.soe"), "E:\\outbackup-Main Identity.soe");
}

}  // namespace
}  // namespace quarnel::app
