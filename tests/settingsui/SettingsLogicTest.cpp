// Frmsettings' logic over a fake window: what it shows of settings.dat, what OK writes, and
// the start-with-Windows value.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/Settings.h"
#include "registry/ModReg.h"
#include "settingsui/SettingsLogic.h"
#include "support/FakeSettingsView.h"
#include "support/RecordedSeams.h"
#include "support/RegistrySeed.h"

namespace quarnel::settingsui {
namespace {

using C = SettingsControl;
using platform::MessageIcon;

class SettingsLogicTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  // The Run value's type and bytes, or nothing; another program's value by its name.
  std::optional<std::pair<std::uint32_t, std::string>> RunValue(const char* name = kRunValueName) {
    const registry::RegistryValues values = registry::EnumValues(std::string("HKEY_CURRENT_USER\\") + kRunKey);
    const registry::RegistryValue* value = values.Find(name);
    if (value == nullptr) return std::nullopt;
    return std::make_pair(value->type, value->data);
  }
  // settings.dat's lines without empty ones (Windows and the portable profile differ only there).
  std::string Settings() {
    std::string text, lines;
    platform::Files().ReadAll(app::SettingsFilePath(), &text);
    for (std::size_t at = 0, end = 0; at < text.size(); at = end + 2) {
      end = std::min(text.find("\r\n", at), text.size());
      if (end > at) lines += text.substr(at, end - at) + "\n";
    }
    return lines;
  }
  void Write(const char* section, const char* key, const std::string& value) {
    app::WriteINI(app::SettingsFilePath(), section, key, value);
  }
  void OkAfterOpening(std::function<void()> change = [] {}) {
    logic_.Opening();
    change();
    logic_.OkClicked();
  }

  testing::FakeSettingsView view_;
  SettingsLogic logic_{view_};
};

TEST_F(SettingsLogicTest, WithoutSettingsEverythingIsOnAndOkWritesTheTenKeysAndTheStartUpValue) {
  logic_.Opening();
  for (C box : {C::Check1, C::Check2, C::Check3, C::Check4, C::Check5, C::Check6, C::Check7, C::Check8, C::Option1}) {
    EXPECT_TRUE(view_.Checked(box));
  }
  EXPECT_FALSE(view_.Checked(C::Option2));
  EXPECT_EQ(view_.Text(C::Text1), dir.path());
  EXPECT_FALSE(platform::Files().FileExists(app::SettingsFilePath()));
  logic_.OkClicked();
  EXPECT_EQ(view_.closes, 1);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(Settings(),
            "[Backup]\nbackupfolder=" + dir.path() +
                "\nautocloseoutlook=1\nopenfolderbackup=1\nautomgeneratefile=1\n[General]\nstartonwindows=1\n"
                "checkbackupfile=1\nrunoutlookafterbackup=1\nrunoutlookafterrestore=1\nburndvd=1\n"
                "[autobackup]\nautobackupfile=0\n");
  // The program's path in quotes, its zero included.
  EXPECT_EQ(RunValue(),
            std::make_pair(platform::kRegSz, "\"" + app::JoinPath(dir.path(), "quarnel.exe") + "\"" + '\0'));
}

TEST_F(SettingsLogicTest, StoredValuesAreShownByTheFlagRuleAndSavedBack) {
  const std::string folder = dir.File("Sicherungen f\xFCr 2026");
  ASSERT_TRUE(platform::Files().CreateFolder(folder));
  Write("backup", "backupfolder", folder);
  Write("General", "burndvd", "0");
  Write("backup", "autocloseoutlook", "0");
  Write("General", "checkbackupfile", "yes");  // no number: on
  Write("autobackup", "autobackupfile", "1");
  logic_.Opening();
  EXPECT_EQ(view_.Text(C::Text1), folder);
  EXPECT_FALSE(view_.Checked(C::Check2) || view_.Checked(C::Check4));
  EXPECT_TRUE(view_.Checked(C::Check3) && view_.Checked(C::Check5));
  EXPECT_TRUE(view_.Checked(C::Option2) && !view_.Checked(C::Option1));
  logic_.OkClicked();
  EXPECT_EQ(Settings(), "[backup]\nbackupfolder=" + folder +
                            "\nautocloseoutlook=0\nopenfolderbackup=1\nautomgeneratefile=1\n[General]\nburndvd=0\n"
                            "checkbackupfile=1\nstartonwindows=1\nrunoutlookafterbackup=1\nrunoutlookafterrestore=1\n"
                            "[autobackup]\nautobackupfile=1\n");
  Write("autobackup", "autobackupfile", "never");  // no number: equal to 0, so replacing
  logic_.Opening();
  EXPECT_TRUE(view_.Checked(C::Option1) && !view_.Checked(C::Option2));
}

TEST_F(SettingsLogicTest, TheFolderIsPickedTrimmedReplacedWhenMissingAndRefusedWhenBlank) {
  logic_.Opening();
  view_.folderAnswer = "C:\\Chosen";
  logic_.FolderClicked();
  ASSERT_EQ(view_.pickers.size(), 1u);
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

  const std::string folder = dir.File("backups");
  ASSERT_TRUE(platform::Files().CreateFolder(folder));
  OkAfterOpening([&] { view_.SetText(C::Text1, "  " + folder + "  "); });
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "Backup", "backupfolder"), folder);
  OkAfterOpening([&] { view_.SetText(C::Text1, dir.File("not there")); });
  EXPECT_EQ(view_.Text(C::Text1), dir.path());
  EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "backup", "backupfolder"), dir.path());
}

TEST_F(SettingsLogicTest, ClearingStartUpRemovesOnlyOurValueAndAMissingValueOrKeyIsNoFailure) {
  OkAfterOpening();
  testing::SeedValue(platform::kHkeyCurrentUser, kRunKey, "Other", "C:\\Tools\\other.exe");
  for (int round = 0; round < 2; ++round) {  // the second time there is nothing to remove
    OkAfterOpening([&] { view_.SetChecked(C::Check1, false); });
    EXPECT_EQ(RunValue(), std::nullopt);
    EXPECT_EQ(app::ReadINI(app::SettingsFilePath(), "General", "startonwindows"), "0");
  }
  EXPECT_NE(RunValue("Other"), std::nullopt);
  platform::MemoryRegistry empty;  // no Run key at all
  platform::ScopedServices none({.registry = &empty});
  OkAfterOpening([&] { view_.SetChecked(C::Check1, false); });
  EXPECT_EQ(view_.closes, 4);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsLogicTest, FromAReadOnlyProgramFolderTheSettingsGoToTheDataFolder) {
  testing::TempFolder appData;
  system.programFolderReadOnly = true;
  system.appDataFolder = appData.path();
  const std::string data = app::JoinPath(appData.path(), "Quarnel Backup");
  OkAfterOpening();
  EXPECT_EQ(app::ReadINI(app::JoinPath(data, "settings.dat"), "backup", "backupfolder"), data);
  EXPECT_FALSE(platform::Files().FileExists(app::JoinPath(dir.path(), "settings.dat")));
  // The program itself still starts from where it is.
  EXPECT_EQ(RunValue()->second, "\"" + app::JoinPath(dir.path(), "quarnel.exe") + "\"" + '\0');
}

}  // namespace
}  // namespace quarnel::settingsui
