#include <gtest/gtest.h>

#include "app/Log.h"
#include "app/Settings.h"
#include "platform/Services.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::app {
namespace {

using platform::Files;

// Each test runs with a fresh program folder of its own.
class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() : system_(dir_.path()), scope_({.system = &system_}) {}
  std::string File(const std::string& name) { return JoinPath(dir_.path(), name); }

  testing::TempFolder dir_;
  testing::OverrideSystem system_;
  platform::ScopedServices scope_;
};

TEST_F(SettingsTest, ReadINICutsTrimsAndDefaultsToEmpty) {
  std::string settings = SettingsFilePath();
  EXPECT_EQ(settings, File("settings.dat"));
  EXPECT_EQ(ReadINI(settings, "backup", "backupfolder"), "");  // no file at all

  std::string longValue(200, 'v');
  longValue[0] = 'A';
  ASSERT_TRUE(Files().WriteAll(settings, "[backup]\r\nbackupfolder=" + longValue +
                                             "\r\nautomgeneratefile=\"  1  \"\r\n"));
  EXPECT_EQ(ReadINI(settings, "backup", "backupfolder"), longValue.substr(0, 127));
  EXPECT_EQ(ReadINI(settings, "Backup", "AutomGenerateFile"), "1");  // quotes kept the blanks; ReadINI trims
  EXPECT_EQ(ReadINI(settings, "General", "burndvd"), "");
}

TEST_F(SettingsTest, WriteINICutsTo128AndCreatesTheFile) {
  std::string settings = SettingsFilePath();
  WriteINI(settings, "backup", "backupfolder", std::string(200, 'x'));
  WriteINI(settings, "General", "burndvd", "0");
  char buffer[512];
  std::uint32_t n = platform::Profile().GetString("backup", "backupfolder", "", buffer, sizeof buffer, settings);
  EXPECT_EQ(n, 128u);
  EXPECT_EQ(ReadINI(settings, "general", "BURNDVD"), "0");
}

TEST_F(SettingsTest, GetINIFindsTheFirstMatchAndStopsAtAnEmptyLine) {
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
}

TEST_F(SettingsTest, SaveINIAppendsLinesThatGetINIReads) {
  std::string info = File("quarnel.dat");
  ASSERT_TRUE(SaveINI("BackupIdentity", "Main Identity", info));
  ASSERT_TRUE(SaveINI("BackupItem", "10010000", info));
  ASSERT_TRUE(SaveINI("BackupItem", "11111111", info));  // appending never replaces
  std::string text;
  ASSERT_TRUE(Files().ReadAll(info, &text));
  EXPECT_EQ(text, "BackupIdentity=Main Identity\r\nBackupItem=10010000\r\nBackupItem=11111111\r\n");
  EXPECT_EQ(GetINI("backupitem", info), "10010000");
  EXPECT_FALSE(SaveINI("x", "y", File("no-folder\\quarnel.dat")));
}

TEST_F(SettingsTest, TempFilesAreMadeInTheProgramFolder) {
  std::string path = sGetTempFile("sig");
  ASSERT_FALSE(path.empty());
  EXPECT_TRUE(Files().FileExists(path));
  EXPECT_EQ(Files().ListFiles(dir_.path()).size(), 1u);
  std::string name = path.substr(path.find_last_of("\\/") + 1);
  EXPECT_EQ(name.substr(0, 3), "sig");
}

TEST_F(SettingsTest, BackupFolderResolution) {
  std::string settings = SettingsFilePath();
  EXPECT_EQ(ResolveBackupFolder(), dir_.path());  // never written
  std::string folder = File("Backups");
  ASSERT_TRUE(Files().CreateFolder(folder));
  WriteINI(settings, "backup", "backupfolder", folder + "\\");
  EXPECT_EQ(ResolveBackupFolder(), folder);
  WriteINI(settings, "backup", "backupfolder", folder);
  EXPECT_EQ(ResolveBackupFolder(), folder);
  WriteINI(settings, "backup", "backupfolder", File("Gone"));
  EXPECT_EQ(ResolveBackupFolder(), dir_.path());
  WriteINI(settings, "backup", "backupfolder", "");
  EXPECT_EQ(ResolveBackupFolder(), dir_.path());
}

TEST_F(SettingsTest, AbsentFlagsAreOnForTheJobs) {
  EXPECT_TRUE(SettingOn("backup", "automgeneratefile"));
  WriteINI(SettingsFilePath(), "backup", "automgeneratefile", "0");
  EXPECT_FALSE(SettingOn("backup", "automgeneratefile"));
  WriteINI(SettingsFilePath(), "backup", "automgeneratefile", "1");
  EXPECT_TRUE(SettingOn("backup", "automgeneratefile"));
}

// Under "Program Files" on Vista and later the program may not write beside itself; its own
// files then go to "Quarnel Backup" in the user's application-data folder.
class DataFolderTest : public SettingsTest {
 protected:
  DataFolderTest() { system_.appDataFolder = appData_.path(); }
  std::string Own() { return JoinPath(appData_.path(), "Quarnel Backup"); }

  testing::TempFolder appData_;
};

TEST_F(DataFolderTest, AWritableProgramFolderKeepsEverythingBesideTheProgram) {
  EXPECT_EQ(DataFolder(), dir_.path());
  EXPECT_FALSE(Files().FolderExists(Own()));
  EXPECT_TRUE(Files().ListFiles(dir_.path()).empty());  // the probe leaves nothing behind
}

TEST_F(DataFolderTest, AReadOnlyProgramFolderSendsEveryFileToTheApplicationDataFolder) {
  system_.programFolderReadOnly = true;
  EXPECT_EQ(DataFolder(), Own());
  EXPECT_TRUE(Files().FolderExists(Own()));
  EXPECT_EQ(SettingsFilePath(), JoinPath(Own(), "settings.dat"));
  EXPECT_EQ(LogFilePath(), JoinPath(Own(), "brlog.dat"));
  EXPECT_EQ(ResolveBackupFolder(), Own());  // generated backup names land somewhere writable
  std::string temporary = sGetTempFile("OBA");
  ASSERT_FALSE(temporary.empty());
  EXPECT_EQ(temporary.substr(0, Own().size() + 1), Own() + "\\");

  WriteINI(SettingsFilePath(), "General", "burndvd", "0");
  ASSERT_TRUE(AppendLog(LogFilePath(), LogSeparator()));
  EXPECT_FALSE(SettingOn("General", "burndvd"));
  EXPECT_TRUE(Files().ListFiles(dir_.path()).empty());
}

TEST_F(DataFolderTest, WithoutAnApplicationDataFolderTheProgramFolderStays) {
  system_.programFolderReadOnly = true;
  system_.appDataFolder = "";
  EXPECT_EQ(DataFolder(), dir_.path());
}

TEST(FlagRule, NumbersCompareAsNumbersAndAnythingElseMatches) {
  EXPECT_TRUE(FlagEquals("1", 1));
  EXPECT_TRUE(FlagEquals(" 1 ", 1));
  EXPECT_TRUE(FlagEquals("1.0", 1));
  EXPECT_FALSE(FlagEquals("0", 1));
  EXPECT_FALSE(FlagEquals("2", 1));
  EXPECT_FALSE(FlagEquals("-1", 1));
  EXPECT_TRUE(FlagEquals("", 1));
  EXPECT_TRUE(FlagEquals("yes", 1));
  EXPECT_TRUE(FlagEquals("1x", 1));
  EXPECT_TRUE(FlagEquals("", 0));
  EXPECT_TRUE(FlagEquals("0", 0));
  EXPECT_FALSE(FlagEquals("1", 0));
}

TEST(StringHelpers, EmptyStringIgnoresNulsAndBlanks) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("   "));
  EXPECT_TRUE(EmptyString(std::string(" \0 \0", 4)));
  EXPECT_FALSE(EmptyString(std::string("\0a", 2)));
  EXPECT_EQ(TrimBlanks("  a b  "), "a b");
  EXPECT_EQ(CutAtNul(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(JoinPath("C:\\", "settings.dat"), "C:\\settings.dat");
  EXPECT_EQ(JoinPath("C:\\Quarnel", "settings.dat"), "C:\\Quarnel\\settings.dat");
}

}  // namespace
}  // namespace quarnel::app
