#include <gtest/gtest.h>

#include "app/Settings.h"
#include "mailclient/Identities.h"
#include "mailclient/Locations.h"
#include "mainwindow/MainWindowLogic.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "support/FakeMainView.h"
#include "support/OverrideSystem.h"
#include "support/RegistrySeed.h"
#include "support/TempFolder.h"

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
class IdentitiesTest : public ::testing::Test {
 protected:
  IdentitiesTest()
      : system_(dir_.path()), scope_({.registry = &registry_, .system = &system_, .messages = &messages_}) {
    system_.now = platform::LocalTime{2026, 12, 5, 9, 30, 0};
  }

  void SeedIdentity(const std::string& key, const std::string* user) {
    if (user) {
      SeedValue(kHkeyCurrentUser, "Identities\\" + key, "Username", *user);
    } else {
      SeedKey(kHkeyCurrentUser, "Identities\\" + key);
    }
  }
  void SeedTwoIdentities() {
    std::string main = "Main Identity", work = "";
    SeedIdentity(kWork, &work);  // listed although its name is empty
    SeedIdentity(kMain, &main);
  }
  std::string Folder(const std::string& name) {
    std::string path = app::JoinPath(dir_.path(), name);
    Files().CreateFolder(path);
    return path;
  }
  void SeedStationery(bool withFile) {
    std::string common = Folder("Common Files");
    Folder("Common Files\\Microsoft Shared");
    std::string stationery = Folder("Common Files\\Microsoft Shared\\Stationery");
    Folder("Common Files\\Microsoft Shared\\Stationery\\sub");  // folders do not count
    if (withFile) Files().WriteAll(stationery + "\\Ivy.htm", "<html></html>");
    SeedValue(kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
              "  " + common + "  ");
  }
  app::MainState LoadedState() {
    app::MainState state;
    BuildIdentityList(state);
    return state;
  }
  void ExpectEnabled(std::initializer_list<int> disabled) {
    for (int i = 0; i < app::kItemCount; ++i) {
      bool expected = std::find(disabled.begin(), disabled.end(), i) == disabled.end();
      EXPECT_EQ(view_.ItemEnabled(ItemSet::Backup, i), expected) << "item " << i;
    }
  }

  testing::TempFolder dir_;
  testing::OverrideSystem system_;
  platform::MemoryRegistry registry_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  testing::FakeMainView view_;
};

TEST_F(IdentitiesTest, NoIdentitiesKeyOrNoSubKeysMeansNoIdentities) {
  EXPECT_TRUE(LoadedState().NoIdentities);
  SeedKey(kHkeyCurrentUser, "Identities");
  app::MainState state = LoadedState();
  EXPECT_TRUE(state.NoIdentities);
  EXPECT_TRUE(state.Identities.empty());
  // A sub-key with a blank name is not listed, but Outlook Express is set up.
  SeedKey(kHkeyCurrentUser, "Identities\\  ");
  state = LoadedState();
  EXPECT_FALSE(state.NoIdentities);
  EXPECT_TRUE(state.Identities.empty());
}

TEST_F(IdentitiesTest, IdentitiesInEnumerationOrderWithEmptyNamesKept) {
  SeedTwoIdentities();
  app::MainState state = LoadedState();
  EXPECT_FALSE(state.NoIdentities);
  ASSERT_EQ(state.Identities.size(), 2u);
  EXPECT_EQ(state.Identities[0].keyName, kMain);  // the registry's sorted order
  EXPECT_EQ(state.Identities[0].displayName, "Main Identity");
  EXPECT_EQ(state.Identities[1].keyName, kWork);
  EXPECT_EQ(state.Identities[1].displayName, "");
  SeedIdentity("{33333333-0000-0000-0000-000000000003}", nullptr);  // no Username value at all
  EXPECT_EQ(LoadedState().Identities.at(2).displayName, "");
}

TEST_F(IdentitiesTest, MainWindowListsIdentitiesInBothBoxes) {
  SeedTwoIdentities();
  app::MainState state;
  app::MainWindowLogic logic(state, view_);
  logic.Load();
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(view_.Enabled(Control::cmdApply));
  for (Control box : {Control::cbSource, Control::cbTarget}) {
    ASSERT_EQ(view_.ListCount(box), 2);
    EXPECT_EQ(view_.ListItem(box, 0), "Main Identity");
    EXPECT_EQ(view_.ListItem(box, 1), "");
    EXPECT_EQ(view_.ListIndex(box), 0);
  }
  EXPECT_EQ(state.RestoreTargetIndex, 0);
  // The first identity's step ran at load: automatic naming is on when never set.
  EXPECT_EQ(state.TargetPath, app::JoinPath(dir_.path(), "quarnel-Main Identity-12-05-2026.soe"));
  EXPECT_EQ(view_.Text(Control::txtTargetFile), state.TargetPath);
}

TEST_F(IdentitiesTest, ChoosingAnIdentityClearsBoxesAndDisablesMissingData) {
  SeedTwoIdentities();
  app::MainState state = LoadedState();
  for (int i = 0; i < app::kItemCount; ++i) {
    view_.SetItemChecked(ItemSet::Backup, i, true);
    view_.SetItemEnabled(ItemSet::Backup, i, false);
  }
  // Nothing of Outlook Express's data is there: no accounts, no address book value, no
  // stationery; the address book stays enabled when its value cannot be read at all.
  app::IdentityStep(state, view_, 0);
  for (int i = 0; i < app::kItemCount; ++i) EXPECT_FALSE(view_.ItemChecked(ItemSet::Backup, i)) << i;
  ExpectEnabled({kItemAccounts, kItemStationeries});
}

TEST_F(IdentitiesTest, AccountsFallBackToTheUserWideKey) {
  SeedTwoIdentities();
  app::MainState state = LoadedState();
  SeedKey(kHkeyCurrentUser, "Software\\Microsoft\\Internet Account Manager\\Accounts");
  app::IdentityStep(state, view_, 1);
  EXPECT_TRUE(view_.ItemEnabled(ItemSet::Backup, kItemAccounts));
  EXPECT_EQ(AccountsKey(kWork), kUserAccountsKey);
  SeedKey(kHkeyCurrentUser,
          std::string("Identities\\") + kWork + "\\Software\\Microsoft\\Internet Account Manager\\Accounts");
  EXPECT_EQ(AccountsKey(kWork),
            std::string(kIdentitiesKey) + "\\" + kWork + "\\Software\\Microsoft\\Internet Account Manager\\Accounts");
}

TEST_F(IdentitiesTest, AddressBookFollowsItsFile) {
  SeedTwoIdentities();
  app::MainState state = LoadedState();
  std::string wab = app::JoinPath(dir_.path(), "alice.wab");
  SeedValue(kHkeyCurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", wab);
  app::IdentityStep(state, view_, 0);
  EXPECT_FALSE(view_.ItemEnabled(ItemSet::Backup, kItemAddressBook));  // names a missing file
  Files().WriteAll(wab, "wab");
  app::IdentityStep(state, view_, 0);
  EXPECT_TRUE(view_.ItemEnabled(ItemSet::Backup, kItemAddressBook));
  SeedValue(kHkeyCurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", "");
  app::IdentityStep(state, view_, 0);
  EXPECT_FALSE(view_.ItemEnabled(ItemSet::Backup, kItemAddressBook));  // an empty path
}

TEST_F(IdentitiesTest, StationeryNeedsAFileInItsFolder) {
  SeedTwoIdentities();
  app::MainState state = LoadedState();
  SeedStationery(false);
  app::IdentityStep(state, view_, 0);
  EXPECT_FALSE(view_.ItemEnabled(ItemSet::Backup, kItemStationeries));
  SeedStationery(true);
  app::IdentityStep(state, view_, 0);
  EXPECT_TRUE(view_.ItemEnabled(ItemSet::Backup, kItemStationeries));
}

TEST_F(IdentitiesTest, AutomaticNamingUsesTheBackupFolderAndTheNameUnchanged) {
  std::string odd = "Ann & Bob: \"Home\"";
  SeedIdentity(kMain, &odd);
  app::MainState state = LoadedState();
  std::string backups = Folder("Backups");
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", backups + "\\");
  app::IdentityStep(state, view_, 0);
  EXPECT_EQ(state.TargetPath, backups + "\\quarnel-Ann & Bob: \"Home\"-12-05-2026.soe");

  app::WriteINI(app::SettingsFilePath(), "backup", "automgeneratefile", "0");
  state.TargetPath = "C:\\kept.soe";
  view_.SetText(Control::txtTargetFile, "C:\\kept.soe");
  view_.SetItemChecked(ItemSet::Backup, 2, true);
  app::IdentityStep(state, view_, 0);
  EXPECT_EQ(state.TargetPath, "C:\\kept.soe");
  EXPECT_EQ(view_.Text(Control::txtTargetFile), "C:\\kept.soe");
  EXPECT_FALSE(view_.ItemChecked(ItemSet::Backup, 2));  // boxes are cleared all the same
}

}  // namespace
}  // namespace quarnel::mailclient
