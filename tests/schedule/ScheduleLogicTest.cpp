// Frmoption's logic over a fake window, a seeded registry and recorded programs and boxes.
#include <gtest/gtest.h>

#include <functional>

#include "app/Settings.h"
#include "schedule/ScheduleLogic.h"
#include "support/FakeScheduleView.h"
#include "support/RecordedSeams.h"
#include "support/RegistrySeed.h"

namespace quarnel::schedule {
namespace {

using C = ScheduleControl;
using platform::FinishedRun;
using platform::MessageIcon;

constexpr const char* kMainKey = "{00000000-0000-0000-0000-00000000000A}";
constexpr const char* kWorkKey = "{00000000-0000-0000-0000-00000000000B}";
constexpr const char* kEnd = "schtasks /end  /tn \"Quarnel AutoBackup\"";
constexpr const char* kDelete = "schtasks /delete /f  /tn \"Quarnel AutoBackup\"";
constexpr const char* kQuery = "schtasks /query /fo csv /nh";

FinishedRun Ran(std::uint32_t exitCode, std::string output = "") {
  FinishedRun run;
  run.started = true;
  run.exitCode = exitCode;
  run.output = std::move(output);
  return run;
}

class ScheduleLogicTest : public ::testing::Test, public testing::RecordedSeams {
 public:  // the table of refusals arranges through the fixture
  ScheduleLogicTest() { system.now = platform::LocalTime{2026, 3, 7, 14, 5, 0}; }

  void AddIdentity(const std::string& key, const std::string& name) {
    testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\" + key, "Username", name);
  }

  // Two identities: only the second has its own accounts; no address book, no stationery.
  void OpenWithTwoIdentities() {
    AddIdentity(kMainKey, "Main Identity");
    AddIdentity(kWorkKey, "Work");
    testing::SeedKey(platform::kHkeyCurrentUser,
                     std::string("Identities\\") + kWorkKey + "\\Software\\Microsoft\\Internet Account Manager\\Accounts");
    testing::SeedValue(platform::kHkeyCurrentUser, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "",
                       dir.File("gone.wab"));
    logic_.Opening();
  }

  void Choose(int index) {
    view_.SetListIndex(C::cbSource, index);
    logic_.IdentityChosen();
  }

  void Click(C box) {
    view_.SetChecked(box, !view_.Checked(box));
    if (box == C::chkDaily) logic_.DailyClicked();
    if (box == C::ifprotect) logic_.ProtectClicked();
  }

  std::string Target(const std::string& name) const { return app::JoinPath(dir.path(), name); }

  std::string Create(const std::string& days, const std::string& time, const std::string& pairs) const {
    return "schtasks /create /sc WEEKLY /d " + days + " /st " + time + " /tn \"Quarnel AutoBackup\" /tr \"\\\"" +
           app::JoinPath(dir.path(), "quarnel.exe") + "\\\" " + pairs + "\"";
  }

  testing::FakeScheduleView view_;
  ScheduleLogic logic_{view_};
};

TEST_F(ScheduleLogicTest, OpeningListsIdentitiesAndStartTimesAndChoosesTheFirstIdentity) {
  OpenWithTwoIdentities();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(view_.controls[C::cbSource].items, (std::vector<std::string>{"Main Identity", "Work"}));
  EXPECT_EQ(view_.ListIndex(C::cbSource), 0);
  EXPECT_EQ(view_.Text(C::txtTargetFile), Target("outbackup-Main Identity.soe"));
  EXPECT_EQ(logic_.TargetFile(), Target("outbackup-Main Identity.soe"));
  for (int i = 0; i < app::kItemCount; ++i) {
    EXPECT_EQ(view_.items[i].enabled, i != 0 && i != 1 && i != 6) << i;
    EXPECT_FALSE(view_.items[i].checked) << i;
  }

  const std::vector<std::string>& times = view_.controls[C::cmbStartTime].items;
  ASSERT_EQ(times.size(), 48u);
  EXPECT_EQ(times[0], "0:00");
  EXPECT_EQ(times[1], "0:30");
  EXPECT_EQ(times[18], "9:00");
  EXPECT_EQ(times[47], "23:30");
  EXPECT_EQ(view_.Text(C::cmbStartTime), "9:00");

  EXPECT_FALSE(view_.Checked(C::ifprotect));
  for (C field : {C::txtPassword, C::txtPassword2}) {
    EXPECT_FALSE(view_.Enabled(field));
    EXPECT_EQ(view_.controls[field].colour, app::FieldColour::ScrollBar);
  }
  EXPECT_TRUE(view_.Enabled(C::Command3));
}

TEST_F(ScheduleLogicTest, WithoutIdentitiesOnlyDisableAndCancelRemain) {
  logic_.Opening();
  ExpectOneMessage("Your Windows System have not install Outlook Express ", MessageIcon::Critical);
  EXPECT_FALSE(view_.Enabled(C::Command3));
  EXPECT_TRUE(view_.Enabled(C::Command1));
  EXPECT_TRUE(view_.controls[C::cbSource].items.empty());
  EXPECT_TRUE(view_.controls[C::cmbStartTime].items.empty());
  logic_.DisableTaskClicked();
  EXPECT_EQ(processes.ran, (std::vector<std::string>{kEnd, kDelete}));
  ExpectOneMessage("Task Quarnel AutoBackup has been Delete.", MessageIcon::Information);
}

TEST_F(ScheduleLogicTest, OnlyBlankNamedIdentitiesMeanOutlookExpressIsSetUpWithNoneToList) {
  testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\  ", "Username", "Main Identity");
  logic_.Opening();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(view_.Enabled(C::Command3));
  EXPECT_TRUE(view_.controls[C::cbSource].items.empty());
  EXPECT_EQ(view_.controls[C::cmbStartTime].items.size(), 48u);
}

TEST_F(ScheduleLogicTest, ChoosingAnIdentityResetsItsItemsAndTheTargetInTheBackupFolder) {
  std::string folder = dir.File("backups");
  ASSERT_TRUE(platform::Files().CreateFolder(folder));
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", folder + "\\");
  app::WriteINI(app::SettingsFilePath(), "backup", "automgeneratefile", "0");  // plays no part here
  OpenWithTwoIdentities();
  EXPECT_EQ(logic_.TargetFile(), folder + "\\outbackup-Main Identity.soe");
  view_.SetItemChecked(3, true);
  Choose(1);
  EXPECT_EQ(logic_.TargetFile(), folder + "\\outbackup-Work.soe");
  EXPECT_EQ(view_.Text(C::txtTargetFile), folder + "\\outbackup-Work.soe");
  for (int i = 0; i < app::kItemCount; ++i) {
    EXPECT_EQ(view_.items[i].enabled, i != 1 && i != 6) << i;
    EXPECT_FALSE(view_.items[i].checked) << i;
  }
  // A backup folder that no longer exists: the data folder.
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", dir.File("gone"));
  Choose(0);
  EXPECT_EQ(logic_.TargetFile(), Target("outbackup-Main Identity.soe"));
}

TEST_F(ScheduleLogicTest, DailyTicksOrClearsEveryDayAndADayLeavesDailyAlone) {
  OpenWithTwoIdentities();
  Click(C::chkDaily);
  for (C day : kDayBoxes) EXPECT_TRUE(view_.Checked(day));
  Click(C::chkSunday);
  EXPECT_TRUE(view_.Checked(C::chkDaily));
  Click(C::chkSunday);
  Click(C::chkDaily);
  for (C day : kDayBoxes) EXPECT_FALSE(view_.Checked(day));
}

TEST_F(ScheduleLogicTest, ProtectionEnablesColoursAndEmptiesThePasswordFields) {
  OpenWithTwoIdentities();
  view_.SetText(C::txtPassword, "left over");
  Click(C::ifprotect);
  for (C field : {C::txtPassword, C::txtPassword2}) {
    EXPECT_TRUE(view_.Enabled(field));
    EXPECT_EQ(view_.controls[field].colour, app::FieldColour::Window);
    EXPECT_EQ(view_.Text(field), "");
  }
  view_.SetText(C::txtPassword, "secret");
  view_.SetText(C::txtPassword2, "secret");
  Click(C::ifprotect);
  for (C field : {C::txtPassword, C::txtPassword2}) {
    EXPECT_FALSE(view_.Enabled(field));
    EXPECT_EQ(view_.controls[field].colour, app::FieldColour::ScrollBar);
    EXPECT_EQ(view_.Text(field), "");
  }
}

TEST_F(ScheduleLogicTest, BrowseSuggestsADatedNameAndKeepsTheTargetWhenCancelled) {
  OpenWithTwoIdentities();
  Choose(1);
  logic_.BrowseClicked();
  ASSERT_EQ(view_.dialogs.size(), 1u);
  EXPECT_EQ(view_.dialogs[0].title, "Save Outlook Express Data as");
  EXPECT_EQ(view_.dialogs[0].filter, "Quarnel Backup File (*.soe)|*.soe");
  EXPECT_EQ(view_.dialogs[0].initialFolder, dir.path());
  EXPECT_EQ(view_.dialogs[0].fileName, "quarnel-Work-03-07-2026");
  EXPECT_EQ(view_.dialogs[0].defaultExtension, "");
  EXPECT_EQ(logic_.TargetFile(), Target("outbackup-Work.soe"));

  view_.dialogAnswer = "E:\\weekly.soe";
  logic_.BrowseClicked();
  EXPECT_EQ(logic_.TargetFile(), "E:\\weekly.soe");
  EXPECT_EQ(view_.Text(C::txtTargetFile), "E:\\weekly.soe");
  view_.SetItemChecked(7, true);
  logic_.AddTaskClicked();
  ASSERT_EQ(processes.ran.size(), 3u);
  EXPECT_EQ(processes.ran[2], Create("*", "09:00:00", "sf=Workxm=00000001ps=bf=E:\\weekly.soe"));
}

TEST_F(ScheduleLogicTest, AddTaskChecksInOrderAndRunsNothingAfterARefusal) {
  struct Case {
    const char* what;
    std::function<void(ScheduleLogicTest&)> arrange;
    std::string message;
    MessageIcon icon;
  };
  auto protect = [](const char* password, const char* retyped) {
    return [=](ScheduleLogicTest& t) {
      t.Click(C::ifprotect);
      t.view_.SetText(C::txtPassword, password);
      t.view_.SetText(C::txtPassword2, retyped);
    };
  };
  const std::string carry = " cannot be used in a scheduled task: it contains \"=\", \"%\" or a double quote (\"). ";
  const Case cases[] = {
      {"no item", [](ScheduleLogicTest& t) { t.view_.SetItemChecked(0, false); }, "Please select at least one item.",
       MessageIcon::Exclamation},
      {"no item and no file",
       [](ScheduleLogicTest& t) {
         t.view_.SetItemChecked(0, false);
         t.view_.dialogAnswer = "";
         t.logic_.BrowseClicked();
       },
       "Please select at least one item.", MessageIcon::Exclamation},
      {"no file",
       [](ScheduleLogicTest& t) {
         t.view_.dialogAnswer = "";
         t.logic_.BrowseClicked();
       },
       "Invalid backup file name.", MessageIcon::Exclamation},
      {"no password", protect("", ""), "Please enter Password!", MessageIcon::Critical},
      {"retyped empty", protect("secret", ""), "Incorect Password!", MessageIcon::Critical},
      {"typed empty", protect("", "secret"), "Incorect Password!", MessageIcon::Critical},
      {"different", protect("secret", "Secret"), "Incorect Password!", MessageIcon::Critical},
      {"password with =", protect("a=b", "a=b"), "The password" + carry + "Please choose another password.",
       MessageIcon::Exclamation},
      {"password with quote", protect("a\"b", "a\"b"), "The password" + carry + "Please choose another password.",
       MessageIcon::Exclamation},
      {"password with %", protect("a%OS%b", "a%OS%b"), "The password" + carry + "Please choose another password.",
       MessageIcon::Exclamation},
      {"file with %",
       [](ScheduleLogicTest& t) {
         t.view_.dialogAnswer = "C:\\%USERNAME%.soe";
         t.logic_.BrowseClicked();
       },
       "The backup file name" + carry + "Please choose another file.", MessageIcon::Exclamation},
      {"file with =",
       [](ScheduleLogicTest& t) {
         t.view_.dialogAnswer = "C:\\x=y.soe";
         t.logic_.BrowseClicked();
       },
       "The backup file name" + carry + "Please choose another file.", MessageIcon::Exclamation},
      {"name with =", [](ScheduleLogicTest& t) { t.view_.SetText(C::cbSource, "a=b"); },
       "The identity name" + carry + "Please rename the identity in Outlook Express.", MessageIcon::Exclamation},
      {"name with quote", [](ScheduleLogicTest& t) { t.view_.SetText(C::cbSource, "\"a\""); },
       "The identity name" + carry + "Please rename the identity in Outlook Express.", MessageIcon::Exclamation},
      {"name with %", [](ScheduleLogicTest& t) { t.view_.SetText(C::cbSource, "100%"); },
       "The identity name" + carry + "Please rename the identity in Outlook Express.", MessageIcon::Exclamation},
      {"no name", [](ScheduleLogicTest& t) { t.view_.SetText(C::cbSource, ""); },
       "The chosen identity has no name, so a scheduled backup could not find it. Please give the identity a name "
       "in Outlook Express.",
       MessageIcon::Exclamation},
  };
  OpenWithTwoIdentities();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Choose(0);
    view_.SetChecked(C::ifprotect, false);
    view_.SetItemChecked(0, true);
    c.arrange(*this);
    logic_.AddTaskClicked();
    ExpectOneMessage(c.message, c.icon);
    EXPECT_TRUE(processes.ran.empty());
    EXPECT_EQ(view_.closes, 0);
  }
}

TEST_F(ScheduleLogicTest, AddTaskEndsAndDeletesTheOldTaskThenCreatesTheNewOneAndCloses) {
  OpenWithTwoIdentities();
  view_.SetItemChecked(0, true);
  view_.SetItemChecked(2, true);
  Click(C::chkMonday);
  Click(C::chkSunday);
  logic_.AddTaskClicked();
  EXPECT_EQ(processes.ran,
            (std::vector<std::string>{
                kEnd, kDelete,
                Create("Mon,Sun", "09:00:00",
                       "sf=Main Identityxm=10100000ps=bf=" + Target("outbackup-Main Identity.soe"))}));
  ExpectOneMessage("Task Quarnel AutoBackup has been scheduled.", MessageIcon::Information);
  EXPECT_EQ(view_.closes, 1);
  EXPECT_FALSE(view_.waitCursor);
}

TEST_F(ScheduleLogicTest, AProtectedTaskOnEveryDayAtHalfPastEleven) {
  OpenWithTwoIdentities();
  Choose(1);
  for (int i : {0, 3, 7}) view_.SetItemChecked(i, true);
  Click(C::chkDaily);
  view_.SetText(C::cmbStartTime, "23:30");
  Click(C::ifprotect);
  view_.SetText(C::txtPassword, "pass word");
  view_.SetText(C::txtPassword2, "pass word");
  logic_.AddTaskClicked();
  ASSERT_EQ(processes.ran.size(), 3u);
  EXPECT_EQ(processes.ran[2], Create("Mon,Tue,Wed,Thu,Fri,Sat,Sun", "23:30:00",
                                      "sf=Workxm=10010001ps=pass wordbf=" + Target("outbackup-Work.soe")));
}

TEST_F(ScheduleLogicTest, AFailedCreationSaysWhyAndKeepsTheWindowForAnotherTry) {
  struct Case {
    FinishedRun created;
    std::string why;
  };
  const Case cases[] = {
      {Ran(1, "ERROR: Invalid syntax.\r\nType \"SCHTASKS /CREATE /?\" for usage.\r\n"),
       "ERROR: Invalid syntax.\r\nType \"SCHTASKS /CREATE /?\" for usage."},
      {Ran(1), "schtasks ended with exit code 1 and printed nothing."},
      {FinishedRun{}, "The program schtasks could not be started."},
  };
  OpenWithTwoIdentities();
  view_.SetItemChecked(5, true);
  Click(C::chkMonday);
  Click(C::chkSunday);
  for (const Case& c : cases) {
    processes.ran.clear();
    processes.runResults = {Ran(0), Ran(0), c.created};
    logic_.AddTaskClicked();
    ASSERT_EQ(processes.ran.size(), 3u);
    ExpectOneMessage("Task Quarnel AutoBackup could not be scheduled.\r\n\r\n" + c.why, MessageIcon::Critical);
    EXPECT_EQ(view_.closes, 0);
    EXPECT_FALSE(view_.waitCursor);
  }

  // The next try reads the days afresh: only the days ticked now.
  Click(C::chkMonday);
  Click(C::chkFriday);
  processes.ran.clear();
  logic_.AddTaskClicked();
  ASSERT_EQ(processes.ran.size(), 3u);
  EXPECT_EQ(processes.ran[2], Create("Fri,Sun", "09:00:00",
                                      "sf=Main Identityxm=00000100ps=bf=" + Target("outbackup-Main Identity.soe")));
  ExpectOneMessage("Task Quarnel AutoBackup has been scheduled.", MessageIcon::Information);
  EXPECT_EQ(view_.closes, 1);
}

TEST_F(ScheduleLogicTest, DisableTaskFailsOnlyWhenTheTaskIsStillThere) {
  const std::string listed = "\"\\Other\",\"N/A\",\"Ready\"\r\n\"\\Quarnel AutoBackup\",\"N/A\",\"Ready\"\r\n";
  struct Case {
    const char* what;
    std::deque<FinishedRun> results;
    std::vector<std::string> ran;
    std::string message;
    MessageIcon icon;
  };
  const Case cases[] = {
      {"deleted", {Ran(0), Ran(0)}, {kEnd, kDelete}, "Task Quarnel AutoBackup has been Delete.",
       MessageIcon::Information},
      {"there was none", {Ran(1), Ran(1, "ERROR: The system cannot find the file specified.\r\n"), Ran(0, "")},
       {kEnd, kDelete, kQuery}, "Task Quarnel AutoBackup has been Delete.", MessageIcon::Information},
      {"none, and no list either", {Ran(1), Ran(1), Ran(1)}, {kEnd, kDelete, kQuery},
       "Task Quarnel AutoBackup has been Delete.", MessageIcon::Information},
      {"still there", {Ran(0), Ran(1, "ERROR: Access is denied.\r\n"), Ran(0, listed)}, {kEnd, kDelete, kQuery},
       "Task Quarnel AutoBackup could not be deleted.\r\n\r\nERROR: Access is denied.", MessageIcon::Critical},
      {"no tool", {FinishedRun{}, FinishedRun{}}, {kEnd, kDelete},
       "Task Quarnel AutoBackup could not be deleted.\r\n\r\nThe program schtasks could not be started.",
       MessageIcon::Critical},
  };
  OpenWithTwoIdentities();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    processes.ran.clear();
    processes.runResults = c.results;
    logic_.DisableTaskClicked();
    EXPECT_EQ(processes.ran, c.ran);
    ExpectOneMessage(c.message, c.icon);
    EXPECT_EQ(view_.closes, 0);
  }
}

TEST_F(ScheduleLogicTest, CancelClosesAndDoesNothingElse) {
  OpenWithTwoIdentities();
  view_.SetItemChecked(0, true);
  logic_.CancelClicked();
  EXPECT_EQ(view_.closes, 1);
  EXPECT_TRUE(processes.ran.empty());
  EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace quarnel::schedule
