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

  // Two identities, the second one's name not in ASCII: only it has its own accounts; no
  // address book, no stationery.
  void OpenWithTwoIdentities() {
    testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\{A}", "Username", "Main Identity");
    testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\{B}", "Username", "J\xF6rg's Arbeit");
    testing::SeedKey(platform::kHkeyCurrentUser,
                     "Identities\\{B}\\Software\\Microsoft\\Internet Account Manager\\Accounts");
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

TEST_F(ScheduleLogicTest, OpeningListsIdentitiesAndStartTimesAndChoosingOneResetsItsItemsAndTarget) {
  std::string folder = dir.File("backups");
  ASSERT_TRUE(platform::Files().CreateFolder(folder));
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", folder + "\\");
  OpenWithTwoIdentities();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(view_.controls[C::cbSource].items, (std::vector<std::string>{"Main Identity", "J\xF6rg's Arbeit"}));
  EXPECT_EQ(view_.Text(C::txtTargetFile), folder + "\\outbackup-Main Identity.soe");
  EXPECT_EQ(view_.Text(C::cmbStartTime), "9:00");

  view_.SetItemChecked(3, true);
  Choose(1);
  EXPECT_EQ(view_.Text(C::txtTargetFile), folder + "\\outbackup-J\xF6rg's Arbeit.soe");
  for (int i = 0; i < app::kItemCount; ++i) {
    EXPECT_EQ(view_.items[i].enabled, i != 1 && i != 6) << i;
    EXPECT_FALSE(view_.items[i].checked) << i;
  }
  // A backup folder that no longer exists: the data folder; the first identity has no accounts.
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", dir.File("gone"));
  Choose(0);
  EXPECT_EQ(logic_.TargetFile(), Target("outbackup-Main Identity.soe"));
  EXPECT_FALSE(view_.items[0].enabled);
}

TEST_F(ScheduleLogicTest, WithoutOutlookExpressOnlyDisableRemainsAndBlankNamedIdentitiesAreNoneToList) {
  logic_.Opening();
  ExpectOneMessage("Your Windows System have not install Outlook Express ", MessageIcon::Critical);
  EXPECT_FALSE(view_.Enabled(C::Command3));
  EXPECT_TRUE(view_.controls[C::cmbStartTime].items.empty());
  logic_.DisableTaskClicked();
  EXPECT_EQ(processes.ran, (std::vector<std::string>{kEnd, kDelete}));
  ExpectOneMessage("Task Quarnel AutoBackup has been Delete.", MessageIcon::Information);

  testing::FakeScheduleView view;
  ScheduleLogic logic{view};
  testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\  ", "Username", "Main Identity");
  logic.Opening();
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(view.Enabled(C::Command3));
  EXPECT_TRUE(view.controls[C::cbSource].items.empty());
}

// Daily ticking every day is seen in the task it schedules (below, and under Wine).
TEST_F(ScheduleLogicTest, ProtectionSetsAndEmptiesThePasswordFields) {
  OpenWithTwoIdentities();
  for (bool on : {true, false}) {
    view_.SetText(C::txtPassword, "left over");
    Click(C::ifprotect);
    for (C field : {C::txtPassword, C::txtPassword2}) {
      EXPECT_EQ(view_.Enabled(field), on);
      EXPECT_EQ(view_.controls[field].colour, on ? app::FieldColour::Window : app::FieldColour::ScrollBar);
      EXPECT_EQ(view_.Text(field), "");
    }
  }
}

TEST_F(ScheduleLogicTest, BrowseSuggestsADatedNameAndAProtectedTaskRunsEveryDayToTheChosenFile) {
  OpenWithTwoIdentities();
  Choose(1);
  logic_.BrowseClicked();
  ASSERT_EQ(view_.dialogs.size(), 1u);
  EXPECT_EQ(view_.dialogs[0].title, "Save Outlook Express Data as");
  EXPECT_EQ(view_.dialogs[0].filter, "Quarnel Backup File (*.soe)|*.soe");
  EXPECT_EQ(view_.dialogs[0].initialFolder, dir.path());
  EXPECT_EQ(view_.dialogs[0].fileName, "quarnel-J\xF6rg's Arbeit-03-07-2026");
  EXPECT_EQ(logic_.TargetFile(), Target("outbackup-J\xF6rg's Arbeit.soe"));  // cancelled: kept

  view_.dialogAnswer = "E:\\Sicherung f\xFCr Mail\\weekly.soe";
  logic_.BrowseClicked();
  EXPECT_EQ(view_.Text(C::txtTargetFile), "E:\\Sicherung f\xFCr Mail\\weekly.soe");
  for (int i : {0, 3, 7}) view_.SetItemChecked(i, true);
  Click(C::chkDaily);
  view_.SetText(C::cmbStartTime, "11:30 PM");
  Click(C::ifprotect);
  view_.SetText(C::txtPassword, "pass word");
  view_.SetText(C::txtPassword2, "pass word");
  logic_.AddTaskClicked();
  EXPECT_EQ(processes.ran, (std::vector<std::string>{kEnd, kDelete,
                                                     Create("Mon,Tue,Wed,Thu,Fri,Sat,Sun", "23:30:00",
                                                            "sf=J\xF6rg's Arbeitxm=10010001ps=pass wordbf=E:\\"
                                                            "Sicherung f\xFCr Mail\\weekly.soe")}));
  ExpectOneMessage("Task Quarnel AutoBackup has been scheduled.", MessageIcon::Information);
  EXPECT_EQ(view_.closes, 1);
  EXPECT_FALSE(view_.waitCursor);
}

TEST_F(ScheduleLogicTest, AddTaskChecksInOrderAndRunsNothingAfterARefusal) {
  // A refusal about the password is critical, any other an exclamation.
  struct Case {
    const char* what;
    std::function<void(ScheduleLogicTest&)> arrange;
    std::string message;
  };
  auto protect = [](const char* password, const char* retyped) {
    return [=](ScheduleLogicTest& t) {
      t.Click(C::ifprotect);
      t.view_.SetText(C::txtPassword, password);
      t.view_.SetText(C::txtPassword2, retyped);
    };
  };
  auto file = [](const char* chosen) {
    return [=](ScheduleLogicTest& t) {
      t.view_.dialogAnswer = chosen;
      t.logic_.BrowseClicked();
    };
  };
  auto name = [](const char* typed) { return [=](ScheduleLogicTest& t) { t.view_.SetText(C::cbSource, typed); }; };
  const std::string carry = " cannot be used in a scheduled task: it contains \"=\", \"%\" or a double quote (\"). ";
  const std::string password = "The password" + carry + "Please choose another password.";
  const std::string identity = "The identity name" + carry + "Please rename the identity in Outlook Express.";
  const Case cases[] = {
      {"no item", [](ScheduleLogicTest& t) { t.view_.SetItemChecked(0, false); }, "Please select at least one item."},
      {"no file", file(""), "Invalid backup file name."},
      {"no password", protect("", ""), "Please enter Password!"},
      {"different", protect("secret", "Secret"), "Incorect Password!"},
      {"password with =", protect("a=b", "a=b"), password},
      {"password with quote", protect("a\"b", "a\"b"), password},
      {"password with %", protect("a%OS%b", "a%OS%b"), password},
      {"file with %", file("C:\\%USERNAME%.soe"), "The backup file name" + carry + "Please choose another file."},
      {"name with =", name("a=b"), identity},
      {"no name", name(""),
       "The chosen identity has no name, so a scheduled backup could not find it. Please give the identity a name "
       "in Outlook Express."},
  };
  OpenWithTwoIdentities();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Choose(0);
    view_.SetChecked(C::ifprotect, false);
    view_.SetItemChecked(0, true);
    c.arrange(*this);
    logic_.AddTaskClicked();
    ExpectOneMessage(c.message, c.message.back() == '!' ? MessageIcon::Critical : MessageIcon::Exclamation);
    EXPECT_TRUE(processes.ran.empty());
    EXPECT_EQ(view_.closes, 0);
  }
}

// What schtasks answered, as the window reports it: a failed creation keeps the window for
// another try; a removal fails only when the task is still listed.
TEST_F(ScheduleLogicTest, TheToolsAnswersAreReportedAndAFailureKeepsTheWindowOpen) {
  const std::string listed = "\"\\Other\",\"N/A\",\"Ready\"\r\n\"\\Quarnel AutoBackup\",\"N/A\",\"Ready\"\r\n";
  const std::string deleted = "Task Quarnel AutoBackup has been Delete.";
  const std::string notScheduled = "Task Quarnel AutoBackup could not be scheduled.\r\n\r\n";
  const std::string notDeleted = "Task Quarnel AutoBackup could not be deleted.\r\n\r\n";
  const std::string noTool = "The program schtasks could not be started.";
  const std::string create =
      Create("Mon,Sun", "09:00:00", "sf=Main Identityxm=10100000ps=bf=" + Target("outbackup-Main Identity.soe"));
  // Each answer in turn: end, delete, then create or (after a failed delete) the task list.
  struct Case {
    const char* what;
    bool add;
    std::deque<FinishedRun> results;
    std::string message;
  };
  const FinishedRun none;
  const Case cases[] = {
      {"refused",
       true,
       {Ran(0), Ran(0), Ran(1, "ERROR: Invalid syntax.\r\nType \"SCHTASKS /CREATE /?\" for usage.\r\n")},
       notScheduled + "ERROR: Invalid syntax.\r\nType \"SCHTASKS /CREATE /?\" for usage."},
      {"silent", true, {Ran(0), Ran(0), Ran(1)}, notScheduled + "schtasks ended with exit code 1 and printed nothing."},
      {"no tool to add", true, {none, none, none}, notScheduled + noTool},
      {"deleted", false, {Ran(0), Ran(0)}, deleted},
      {"there was none",
       false,
       {Ran(1), Ran(1, "ERROR: The system cannot find the file specified.\r\n"), Ran(0)},
       deleted},
      {"none, and no list either", false, {Ran(1), Ran(1), Ran(1)}, deleted},
      {"still there",
       false,
       {Ran(0), Ran(1, "ERROR: Access is denied.\r\n"), Ran(0, listed)},
       notDeleted + "ERROR: Access is denied."},
      {"no tool to delete", false, {none, none}, notDeleted + noTool},
  };
  OpenWithTwoIdentities();
  view_.SetItemChecked(0, true);
  view_.SetItemChecked(2, true);
  Click(C::chkMonday);
  Click(C::chkSunday);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    processes.ran.clear();
    processes.runResults = c.results;
    c.add ? logic_.AddTaskClicked() : logic_.DisableTaskClicked();
    std::vector<std::string> ran = {kEnd, kDelete, c.add ? create : kQuery};
    ran.resize(c.results.size());
    EXPECT_EQ(processes.ran, ran);
    ExpectOneMessage(c.message, c.message == deleted ? MessageIcon::Information : MessageIcon::Critical);
    EXPECT_EQ(view_.closes, 0);
    EXPECT_FALSE(view_.waitCursor);
  }
}

}  // namespace
}  // namespace quarnel::schedule
