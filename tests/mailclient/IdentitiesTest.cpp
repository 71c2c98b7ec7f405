#include <gtest/gtest.h>

#include "app/Settings.h"
#include "mailclient/Identities.h"
#include "mailclient/Locations.h"
#include "mainwindow/MainWindowLogic.h"
#include "support/FakeMainView.h"
#include "support/RecordedSeams.h"
#include "support/RegistrySeed.h"

namespace quarnel::mailclient {
namespace {

using app::Control;
using app::ItemSet;
using platform::Files;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using testing::SeedKey;
using testing::SeedValue;

constexpr const char* kMain = "{11111111-0000-0000-0000-000000000001}";
constexpr const char* kWork = "{22222222-0000-0000-0000-000000000002}";

// A user's registry and files as Outlook Express leaves them, in a registry of the test's
// own and a program folder of its own.
class IdentitiesTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  IdentitiesTest() { system.now = platform::LocalTime{2026, 12, 5, 9, 30, 0}; }

  void SeedTwoIdentities() {
    SeedValue(kHkeyCurrentUser, std::string("Identities\\") + kWork, "Username", "");  // listed all the same
    SeedValue(kHkeyCurrentUser, std::string("Identities\\") + kMain, "Username", "Ann & Bob: \"Home\"");
  }
  std::string Folder(const std::string& name) {
    std::string path = app::JoinPath(dir.path(), name);
    Files().CreateFolder(path);
    return path;
  }
  app::MainState LoadedState() {
    app::MainState state;
    BuildIdentityList(state);
    return state;
  }
  // The backup boxes that the identity step leaves enabled, as "0.23.5.7".
  std::string Enabled(app::MainState& state, int identity) {
    app::IdentityStep(state, view_, identity);
    std::string enabled;
    for (int i = 0; i < app::kItemCount; ++i) {
      enabled += view_.ItemEnabled(ItemSet::Backup, i) ? static_cast<char>('0' + i) : '.';
      EXPECT_FALSE(view_.ItemChecked(ItemSet::Backup, i)) << i;
    }
    return enabled;
  }

  testing::FakeMainView view_;
};

TEST_F(IdentitiesTest, ABlankNamedKeyIsNoIdentityButShowsOutlookExpressIsSetUp) {
  EXPECT_TRUE(LoadedState().NoIdentities);
  SeedKey(kHkeyCurrentUser, "Identities");
  EXPECT_TRUE(LoadedState().NoIdentities);
  // A sub-key with a blank name is not listed, but Outlook Express is set up.
  SeedKey(kHkeyCurrentUser, "Identities\\  ");
  app::MainState state = LoadedState();
  EXPECT_FALSE(state.NoIdentities);
  EXPECT_TRUE(state.Identities.empty());
}

// Automatic naming (on when never set) puts the name unchanged into the backup folder's path.
TEST_F(IdentitiesTest, MainWindowListsIdentitiesInTheRegistrysOrderEmptyNamesKeptAndNamesTheFirstOnesBackup) {
  SeedTwoIdentities();
  SeedKey(kHkeyCurrentUser, "Identities\\{33333333-0000-0000-0000-000000000003}");  // no Username value at all
  app::MainState state;
  app::MainWindowLogic logic(state, view_);
  logic.Load();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(view_.Enabled(Control::cmdApply));
  ASSERT_EQ(state.Identities.size(), 3u);
  EXPECT_EQ(state.Identities[1].keyName, kWork);  // the registry's sorted order
  for (Control box : {Control::cbSource, Control::cbTarget}) {
    EXPECT_EQ(view_.controls[box].items, (std::vector<std::string>{"Ann & Bob: \"Home\"", "", ""}));
    EXPECT_EQ(view_.ListIndex(box), 0);
  }
  EXPECT_EQ(state.TargetPath, app::JoinPath(dir.path(), "quarnel-Ann & Bob: \"Home\"-12-05-2026.soe"));
  EXPECT_EQ(view_.Text(Control::txtTargetFile), state.TargetPath);

  const std::string backups = Folder("Backups");
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", backups + "\\");
  app::IdentityStep(state, view_, 0);
  EXPECT_EQ(state.TargetPath, backups + "\\quarnel-Ann & Bob: \"Home\"-12-05-2026.soe");
  app::WriteINI(app::SettingsFilePath(), "backup", "automgeneratefile", "0");
  state.TargetPath = "C:\\kept.soe";
  view_.SetText(Control::txtTargetFile, "C:\\kept.soe");
  app::IdentityStep(state, view_, 0);
  EXPECT_EQ(state.TargetPath, "C:\\kept.soe");
  EXPECT_EQ(view_.Text(Control::txtTargetFile), "C:\\kept.soe");
}

// Each item's box is enabled only while the data behind it is there; every step clears the
// boxes. The address book stays enabled while its value cannot be read at all.
TEST_F(IdentitiesTest, ItemsAreOfferedOnlyWhenTheirDataIsThere) {
  SeedTwoIdentities();
  app::MainState state = LoadedState();
  for (int i = 0; i < app::kItemCount; ++i) view_.SetItemChecked(ItemSet::Backup, i, true);
  EXPECT_EQ(Enabled(state, 0), ".12345.7");

  SeedKey(kHkeyCurrentUser, "Software\\Microsoft\\Internet Account Manager\\Accounts");  // the user-wide key
  EXPECT_EQ(Enabled(state, 1), "012345.7");
  EXPECT_EQ(AccountsKey(kWork), kUserAccountsKey);
  const std::string own =
      std::string("Identities\\") + kWork + "\\Software\\Microsoft\\Internet Account Manager\\Accounts";
  SeedKey(kHkeyCurrentUser, own);
  EXPECT_EQ(AccountsKey(kWork),
            std::string(kIdentitiesKey) + "\\" + kWork + "\\Software\\Microsoft\\Internet Account Manager\\Accounts");

  const std::string wab = app::JoinPath(dir.path(), "J\xF6rg's address book.wab");
  SeedValue(kHkeyCurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", wab);
  EXPECT_EQ(Enabled(state, 0), "0.2345.7");  // names a missing file
  Files().WriteAll(wab, "wab");
  EXPECT_EQ(Enabled(state, 0), "012345.7");
  SeedValue(kHkeyCurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", "");
  EXPECT_EQ(Enabled(state, 0), "0.2345.7");  // an empty path

  // Stationery needs a file in its folder; a folder there does not count.
  std::string common = Folder("Common Files");
  Folder("Common Files\\Microsoft Shared");
  std::string stationery = Folder("Common Files\\Microsoft Shared\\Stationery");
  Folder("Common Files\\Microsoft Shared\\Stationery\\sub");
  SeedValue(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", "  " + common + "  ");
  EXPECT_EQ(Enabled(state, 0), "0.2345.7");
  Files().WriteAll(stationery + "\\Ivy.htm", "<html></html>");
  EXPECT_EQ(Enabled(state, 0), "0.234567");
}

}  // namespace
}  // namespace quarnel::mailclient
