// Frmsettings' logic over a fake window: what it shows of settings.dat, what OK writes, and
// the start-with-Windows value.
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "settingsui/SettingsLogic.h"
#include "support/FakeSettingsView.h"
#include "support/RecordedSeams.h"

namespace quarnel::settingsui {
namespace {

using C = SettingsControl;
using platform::MessageIcon;

constexpr C kBoxes[] = {C::Check1, C::Check2, C::Check3, C::Check4, C::Check5, C::Check6, C::Check7, C::Check8};

// The file's lines without empty ones: Windows and the portable profile differ only there.
std::vector<std::string> Lines(const std::string& path) {
  std::string text;
  platform::Files().ReadAll(path, &text);
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    if (end > at) lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

class SettingsLogicTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  // The Run value: its type and bytes, or nothing.
  std::optional<std::pair<std::uint32_t, std::string>> RunValue() {
    platform::RegKey key = 0;
    if (registry.OpenKeyEx(platform::kHkeyCurrentUser, kRunKey, platform::kKeyRead, &key) != 0) return std::nullopt;
    std::uint32_t type = 0, size = 0;
    std::optional<std::pair<std::uint32_t, std::string>> found;
    if (registry.QueryValueEx(key, kRunValueName, &type, nullptr, &size) == 0) {
      std::string data(size, '\0');
      registry.QueryValueEx(key, kRunValueName, &type, reinterpret_cast<std::uint8_t*>(data.data()), &size);
      found = std::make_pair(type, data);
    }
    registry.CloseKey(key);
    return found;
  }

  void Write(const char* section, const char* key, const std::string& value) {
    app::WriteINI(app::SettingsFilePath(), section, key, value);
  }

  testing::FakeSettingsView view_;
  SettingsLogic logic_{view_};
};

TEST_F(SettingsLogicTest, WithoutASettingsFileEverythingIsOnAndOkWritesTheTenKeysAndTheStartUpEntry) {
  logic_.Opening();
  for (C box : kBoxes) EXPECT_TRUE(view_.Checked(box));
  EXPECT_TRUE(view_.Checked(C::Option1));
  EXPECT_FALSE(view_.Checked(C::Option2));
  EXPECT_EQ(view_.Text(C::Text1), dir.path());
  EXPECT_FALSE(platform::Files().FileExists(app::SettingsFilePath()));

  logic_.OkClicked();
  EXPECT_EQ(view_.closes, 1);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(Lines(app::SettingsFilePath()), (std::vector<std::string>{
                                                "[Backup]",
                                                "backupfolder=" + dir.path(),
                                                "autocloseoutlook=1",
                                                "openfolderbackup=1",
                                                "automgeneratefile=1",
                                                "[General]",
                                                "startonwindows=1",
                                                "checkbackupfile=1",
                                                "runoutlookafterbackup=1",
                                                "runoutlookafterrestore=1",
                                                "burndvd=1",
                                                "[autobackup]",
                                                "autobackupfile=0",
                                            }));
  const std::string command = "\"" + app::JoinPath(dir.path(), "quarnel.exe") + "\"";
  EXPECT_EQ(StartUpCommand(), command);
  EXPECT_EQ(RunValue(), std::make_pair(platform::kRegSz, command + '\0'));
}

TEST_F(SettingsLogicTest, StoredValuesAreShownByTheFlagRuleAndSavedBackUnchanged) {
  std::string folder = dir.File("backups");
  ASSERT_TRUE(platform::Files().CreateFolder(folder));
  Write("backup", "backupfolder", folder);
  const std::pair<C, std::pair<const char*, const char*>> keys[] = {
      {C::Check1, {"General", "startonwindows"}},  {C::Check2, {"General", "burndvd"}},
      {C::Check3, {"General", "checkbackupfile"}}, {C::Check4, {"backup", "autocloseoutlook"}},
      {C::Check5, {"backup", "openfolderbackup"}}, {C::Check6, {"General", "runoutlookafterbackup"}},
      {C::Check7, {"General", "runoutlookafterrestore"}}, {C::Check8, {"backup", "automgeneratefile"}},
  };
  // "0" and other numbers are off; "1", "1.0" and anything that is no number are on.
  const char* values[] = {"0", "1", "yes", "2", "1.0", "0", "", "-1"};
  const bool on[] = {false, true, true, false, true, false, true, false};
  for (int i = 0; i < 8; ++i) Write(keys[i].second.first, keys[i].second.second, values[i]);
  Write("autobackup", "autobackupfile", "1");
  logic_.Opening();
  EXPECT_EQ(view_.Text(C::Text1), folder);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(view_.Checked(keys[i].first), on[i]) << values[i];
  EXPECT_FALSE(view_.Checked(C::Option1));
  EXPECT_TRUE(view_.Checked(C::Option2));

  logic_.OkClicked();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), keys[i].second.first, keys[i].second.second), on[i] ? "1" : "0");
  }
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "backup", "backupfolder"), folder);
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "autobackup", "autobackupfile"), "1");
  EXPECT_EQ(RunValue(), std::nullopt);  // Check1 was off

  // Not a number: counts as equal to 0, so the replacing option.
  Write("autobackup", "autobackupfile", "never");
  logic_.Opening();
  EXPECT_TRUE(view_.Checked(C::Option1));
  EXPECT_FALSE(view_.Checked(C::Option2));
}

TEST_F(SettingsLogicTest, AFolderThatDoesNotExistIsSavedAsTheDataFolderAndBlanksAreTrimmed) {
  std::string folder = dir.File("backups");
  ASSERT_TRUE(platform::Files().CreateFolder(folder));
  logic_.Opening();
  view_.SetText(C::Text1, "  " + folder + "  ");
  logic_.OkClicked();
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "Backup", "backupfolder"), folder);

  logic_.Opening();
  view_.SetText(C::Text1, dir.File("not there"));
  logic_.OkClicked();
  EXPECT_EQ(view_.Text(C::Text1), dir.path());
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "backup", "backupfolder"), dir.path());
  EXPECT_EQ(view_.closes, 2);
}

TEST_F(SettingsLogicTest, TheFolderPickerFillsTheFieldAndAnEmptyFieldIsRefused) {
  logic_.Opening();
  view_.folderAnswer = "C:\\Chosen";
  logic_.FolderClicked();
  ASSERT_EQ(view_.pickers.size(), 1u);
  EXPECT_EQ(view_.pickers[0].title, "Quarnel Backup");
  EXPECT_EQ(view_.pickers[0].flags, 2u);
  EXPECT_EQ(view_.Text(C::Text1), "C:\\Chosen");

  view_.folderAnswer = "";  // cancelled
  logic_.FolderClicked();
  EXPECT_EQ(view_.Text(C::Text1), "");
  for (const char* text : {"", "   "}) {
    view_.SetText(C::Text1, text);
    logic_.OkClicked();
    ExpectOneMessage("Please enter backup folder.", MessageIcon::Critical);
    EXPECT_EQ(view_.closes, 0);
    EXPECT_FALSE(platform::Files().FileExists(app::SettingsFilePath()));
    EXPECT_EQ(RunValue(), std::nullopt);
  }
}

TEST_F(SettingsLogicTest, ClearingStartUpRemovesTheEntryAndAMissingEntryOrKeyIsNoFailure) {
  logic_.Opening();
  logic_.OkClicked();
  ASSERT_NE(RunValue(), std::nullopt);
  // Another program's start-up value stays.
  platform::RegKey key = 0;
  ASSERT_EQ(registry.OpenKey(platform::kHkeyCurrentUser, kRunKey, &key), 0);
  registry.SetValueEx(key, "Other", platform::kRegSz, reinterpret_cast<const std::uint8_t*>("x"), 2);
  registry.CloseKey(key);

  for (int round = 0; round < 2; ++round) {
    logic_.Opening();
    EXPECT_TRUE(view_.Checked(C::Check1));
    view_.SetChecked(C::Check1, false);
    logic_.OkClicked();
    EXPECT_EQ(RunValue(), std::nullopt);
    EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "General", "startonwindows"), "0");
    Write("General", "startonwindows", "1");
  }
  ASSERT_EQ(registry.OpenKey(platform::kHkeyCurrentUser, kRunKey, &key), 0);
  std::uint32_t size = 0;
  EXPECT_EQ(registry.QueryValueEx(key, "Other", nullptr, nullptr, &size), 0);
  registry.CloseKey(key);

  // No Run key at all.
  platform::MemoryRegistry empty;
  platform::ScopedServices none({.registry = &empty});
  logic_.Opening();
  view_.SetChecked(C::Check1, false);
  logic_.OkClicked();
  EXPECT_EQ(view_.closes, 4);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsLogicTest, CancelWritesNothing) {
  Write("General", "burndvd", "0");
  std::string before;
  platform::Files().ReadAll(app::SettingsFilePath(), &before);
  logic_.Opening();
  for (C box : kBoxes) view_.SetChecked(box, !view_.Checked(box));
  view_.SetText(C::Text1, "");
  logic_.CancelClicked();
  EXPECT_EQ(view_.closes, 1);
  std::string after;
  platform::Files().ReadAll(app::SettingsFilePath(), &after);
  EXPECT_EQ(after, before);
  EXPECT_EQ(RunValue(), std::nullopt);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsLogicTest, FromAReadOnlyProgramFolderTheSettingsGoToTheDataFolder) {
  testing::TempFolder appData;
  system.programFolderReadOnly = true;
  system.appDataFolder = appData.path();
  const std::string data = app::JoinPath(appData.path(), "Quarnel Backup");
  logic_.Opening();
  EXPECT_EQ(view_.Text(C::Text1), data);
  logic_.OkClicked();
  EXPECT_TRUE(platform::Files().FileExists(app::JoinPath(data, "settings.dat")));
  EXPECT_FALSE(platform::Files().FileExists(app::JoinPath(dir.path(), "settings.dat")));
  EXPECT_EQ(app::ReadINI(app::JoinPath(data, "settings.dat"), "backup", "backupfolder"), data);
  // The program itself still starts from where it is.
  EXPECT_EQ(RunValue()->second, "\"" + app::JoinPath(dir.path(), "quarnel.exe") + "\"" + '\0');
}

}  // namespace
}  // namespace quarnel::settingsui
