// Frmoption in this process under Wine: the real dialog, driven by messages from inside its
// modal loop, with programs and message boxes recorded.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "app/Settings.h"
#include "app/Win32Controls.h"
#include "mainwindow/Resource.h"
#include "schedule/ScheduleResource.h"
#include "schedule/ScheduleWindow.h"
#include "schedule/TaskCommands.h"
#include "support/MainMenuProbe.h"
#include "support/ModalProbe.h"
#include "support/RecordedSeams.h"
#include "support/RegistrySeed.h"

namespace quarnel::schedule {
namespace {

using C = ScheduleControl;
using platform::MessageIcon;
using testing::ModalProbe;

HWND FindByText(HWND parent, const std::string& text) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (app::WindowText(child) == text) return child;
  }
  return nullptr;
}

HWND OpenWindow() {
  ScheduleWindow* window = ScheduleWindow::Current();
  return window != nullptr ? window->Handle() : nullptr;
}

class ScheduleWindowTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  ScheduleWindowTest() {
    testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\{A}", "Username", "Main Identity");
    testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\{B}", "Username", "Work");
    testing::SeedKey(platform::kHkeyCurrentUser,
                     "Identities\\{B}\\Software\\Microsoft\\Internet Account Manager\\Accounts");
  }

  // Opens Frmoption and runs the script on it; returns once the window is closed.
  void Run(std::function<void(ScheduleWindow&)> script) {
    ModalProbe probe(OpenWindow, [&](HWND) { script(*ScheduleWindow::Current()); });
    ScheduleWindow::ShowModal(GetModuleHandleA(nullptr), nullptr);
    EXPECT_TRUE(probe.seen());
    EXPECT_EQ(ScheduleWindow::Current(), nullptr);
  }

  static void Click(HWND button) { SendMessageA(button, BM_CLICK, 0, 0); }

  std::string Target(const std::string& name) { return dir.path() + "\\" + name; }

};

TEST_F(ScheduleWindowTest, OpensWithItsControlsTheIdentitiesAndTheStartTimes) {
  Run([&](ScheduleWindow& w) {
    HWND dialog = w.Handle();
    EXPECT_EQ(app::WindowText(dialog), "Task Scheduler");
    EXPECT_EQ(app::WindowText(GetDlgItem(dialog, IDC_SCH_INTRO)),
              "Quarnel Backup uses the Windows Task Scheduler for the automatic backup. \"Add Task to Scheduler\" "
              "creates the task; \"Disable Task\" disables it.");
    for (const char* label : {"&Identity to backup", "Items to backup", "Backup Filename(Default folder && filename)",
                              "Pass&word:", "&Retype Password:", "&Start backup at"}) {
      EXPECT_NE(FindByText(dialog, label), nullptr) << label;
    }
    const std::pair<C, const char*> captions[] = {
        {C::cmdTargetFile, "Browse..."}, {C::ifprotect, "Protect backup file with password"},
        {C::chkMonday, "Monday"},        {C::chkTuesday, "Tuesday"},
        {C::chkWednesday, "Wednesday"},  {C::chkThursday, "Thursday"},
        {C::chkFriday, "Friday"},        {C::chkSaturday, "Saturday"},
        {C::chkSunday, "Sunday"},        {C::chkDaily, "Run daily"},
        {C::Command3, "Add Task to Scheduler"}, {C::Command1, "Disable Task"},
        {C::Command2, "Cancel"},
    };
    for (const auto& [control, caption] : captions) EXPECT_EQ(w.Text(control), caption);
    const char* items[] = {"Accounts", "Address Book", "Rules", "Email/News Messages",
                           "Block Senders", "Signatures", "Stationeries", "OE Settings"};
    for (int i = 0; i < app::kItemCount; ++i) EXPECT_EQ(app::WindowText(w.ItemBox(i)), items[i]);

    HWND identities = w.ControlHandle(C::cbSource);
    EXPECT_EQ(GetWindowLongA(identities, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    ASSERT_EQ(SendMessageA(identities, CB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(w.Text(C::cbSource), "Main Identity");
    EXPECT_EQ(w.Text(C::txtTargetFile), Target("outbackup-Main Identity.soe"));
    EXPECT_NE(GetWindowLongA(w.ControlHandle(C::txtTargetFile), GWL_STYLE) & ES_READONLY, 0);
    EXPECT_FALSE(IsWindowEnabled(w.ItemBox(0)));  // the first identity has no accounts of its own

    HWND times = w.ControlHandle(C::cmbStartTime);
    EXPECT_EQ(GetWindowLongA(times, GWL_STYLE) & 3, CBS_DROPDOWN);  // takes typed text
    EXPECT_EQ(SendMessageA(times, CB_GETCOUNT, 0, 0), 48);
    EXPECT_EQ(w.Text(C::cmbStartTime), "9:00");

    for (C field : {C::txtPassword, C::txtPassword2}) {
      EXPECT_FALSE(w.Enabled(field));
      EXPECT_NE(GetWindowLongA(w.ControlHandle(field), GWL_STYLE) & ES_PASSWORD, 0);
    }
    EXPECT_EQ(SendMessageA(w.ControlHandle(C::txtPassword), EM_GETLIMITTEXT, 0, 0), 20);
    HDC dc = CreateCompatibleDC(nullptr);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(w.ControlHandle(C::txtPassword))));
    EXPECT_EQ(brush, GetSysColorBrush(COLOR_SCROLLBAR));
    DeleteDC(dc);
  });
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(processes.ran.empty());
}

TEST_F(ScheduleWindowTest, ClicksScheduleATaskAndAFailureKeepsTheWindowOpen) {
  platform::FinishedRun fine, refused;
  fine.started = refused.started = true;
  refused.exitCode = 1;
  refused.output = "ERROR: Invalid syntax.\r\n";
  processes.runResults = {fine, fine, refused};
  Run([&](ScheduleWindow& w) {
    // The second identity, two items, Monday and Sunday by way of daily, half past eleven, a password.
    SendMessageA(w.ControlHandle(C::cbSource), CB_SETCURSEL, 1, 0);
    SendMessageA(w.Handle(), WM_COMMAND, MAKEWPARAM(IDC_SCH_CBSOURCE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(w.ControlHandle(C::cbSource)));
    EXPECT_EQ(w.Text(C::txtTargetFile), Target("outbackup-Work.soe"));
    Click(w.ItemBox(0));
    Click(w.ItemBox(2));
    Click(w.ControlHandle(C::chkDaily));
    for (C day : kDayBoxes) EXPECT_TRUE(w.Checked(day));
    for (C day : {C::chkTuesday, C::chkWednesday, C::chkThursday, C::chkFriday, C::chkSaturday}) {
      Click(w.ControlHandle(day));
    }
    SetWindowTextA(w.ControlHandle(C::cmbStartTime), "23:30");
    Click(w.ControlHandle(C::ifprotect));
    EXPECT_TRUE(w.Enabled(C::txtPassword));
    SetWindowTextA(w.ControlHandle(C::txtPassword), "pw");
    SetWindowTextA(w.ControlHandle(C::txtPassword2), "pw");

    Click(w.ControlHandle(C::Command3));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Task Quarnel AutoBackup could not be scheduled.\r\n\r\nERROR: Invalid syntax.");
    EXPECT_EQ(ScheduleWindow::Current(), &w);

    Click(w.ControlHandle(C::chkMonday));
    Click(w.ControlHandle(C::Command3));
  });
  ASSERT_EQ(processes.ran.size(), 6u);
  const std::string tail = " /tn \"Quarnel AutoBackup\" /tr \"\\\"" + dir.path() +
                           "\\quarnel.exe\\\" sf=Workxm=10100000ps=pwbf=" + Target("outbackup-Work.soe") + "\"";
  EXPECT_EQ(processes.ran[2], "schtasks /create /sc WEEKLY /d Mon,Sun /st 23:30:00" + tail);
  EXPECT_EQ(processes.ran[3], "schtasks /end  /tn \"Quarnel AutoBackup\"");
  EXPECT_EQ(processes.ran[5], "schtasks /create /sc WEEKLY /d Sun /st 23:30:00" + tail);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].text, "Task Quarnel AutoBackup has been scheduled.");
  EXPECT_EQ(messages.shown[1].icon, MessageIcon::Information);
}

TEST_F(ScheduleWindowTest, BrowseOpensTheSaveDialogOwnedByTheWindowAndCancelKeepsTheTarget) {
  std::string title;
  Run([&](ScheduleWindow& w) {
    HWND dialog = w.Handle();
    ModalProbe picker([dialog] { return ModalProbe::OwnedBy(dialog); }, [&](HWND d) { title = app::WindowText(d); });
    Click(w.ControlHandle(C::cmdTargetFile));
    EXPECT_TRUE(picker.seen());
    EXPECT_EQ(w.Text(C::txtTargetFile), Target("outbackup-Main Identity.soe"));
  });
  EXPECT_EQ(title, "Save Outlook Express Data as");
}

TEST_F(ScheduleWindowTest, CancelEscAndTheFrameCloseWithoutRunningAnything) {
  for (int way = 0; way < 3; ++way) {
    Run([&](ScheduleWindow& w) {
      if (way == 0) Click(w.ControlHandle(C::Command2));
      if (way == 1) SendMessageA(w.Handle(), WM_CLOSE, 0, 0);
      if (way == 2) {
        MSG key = {w.ControlHandle(C::cbSource), WM_KEYDOWN, VK_ESCAPE, 0x00010001, 0, {0, 0}};
        IsDialogMessageA(w.Handle(), &key);
      }
      EXPECT_TRUE(processes.ran.empty()) << way;
    });
  }
  EXPECT_TRUE(processes.ran.empty());
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ScheduleWindowTest, WithoutIdentitiesAddIsDisabled) {
  platform::MemoryRegistry empty;
  platform::ScopedServices none({.registry = &empty});
  Run([&](ScheduleWindow& w) {
    EXPECT_FALSE(w.Enabled(C::Command3));
    EXPECT_TRUE(w.Enabled(C::Command1));
  });
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, "Your Windows System have not install Outlook Express ");
}

// The real schtasks of the system, run hidden and waited for. Wine's tool deletes tasks but
// does not take the weekly schedule switches; whatever the tool does, the window's answer
// must match it.
TEST_F(ScheduleWindowTest, TheSystemsSchtasksRunsHiddenAndTheWindowReportsWhatItDid) {
  platform::ScopedServices real({.processes = platform::DefaultServices().processes});
  bool closedByAdd = true;
  Run([&](ScheduleWindow& w) {
    Click(w.ControlHandle(C::Command1));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Task Quarnel AutoBackup has been Delete.");
    Click(w.ItemBox(7));
    Click(w.ControlHandle(C::Command3));
    closedByAdd = false;
  });
  ASSERT_EQ(messages.shown.size(), 2u);
  const std::string& added = messages.shown[1].text;
  if (added == "Task Quarnel AutoBackup has been scheduled.") {
    EXPECT_TRUE(closedByAdd);
  } else {
    EXPECT_EQ(added.rfind("Task Quarnel AutoBackup could not be scheduled.\r\n\r\n", 0), 0u) << added;
    EXPECT_EQ(messages.shown[1].icon, MessageIcon::Critical);
  }
  platform::Procs().RunHidden("schtasks /delete /f /tn \"Quarnel AutoBackup\"");
}

TEST_F(ScheduleWindowTest, TheMainWindowsMenuOpensItModalToTheMainWindow) {
  testing::OpenedFromMenu opened = testing::OpenFromMainMenu(IDM_TASKSCHEDULER, OpenWindow);
  EXPECT_TRUE(opened.seen);
  EXPECT_TRUE(opened.ownedByMain);
  EXPECT_TRUE(opened.mainDisabled);
  EXPECT_TRUE(opened.mainEnabledAfter);
}

// The task's program line, read back from the create command by the rules with which
// Windows programs split their command line: /tr gives back the program line whole.
TEST_F(ScheduleWindowTest, TheCreateCommandSplitsBackIntoTheTasksProgramLine) {
  TaskOptions options{"Main Identity", "10100000", "pass word", Target("my backups\\outbackup.soe")};
  std::string create = CreateTaskCommand("Mon,Sun", "09:00", options);
  std::wstring wide(create.begin(), create.end());
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_NE(arguments, nullptr);
  std::vector<std::string> split;
  for (int i = 0; i < count; ++i) {
    std::wstring argument = arguments[i];
    split.emplace_back(argument.begin(), argument.end());
  }
  LocalFree(arguments);
  ASSERT_EQ(split.size(), 12u);
  EXPECT_EQ(split[7], "09:00:00");
  EXPECT_EQ(split[8], "/tn");
  EXPECT_EQ(split[9], "Quarnel AutoBackup");
  EXPECT_EQ(split[10], "/tr");
  EXPECT_EQ(split[11], TaskCommandLine(options));
  EXPECT_EQ(split[11], "\"" + dir.path() + "\\quarnel.exe\" " + TaskArguments(options));
}

}  // namespace
}  // namespace quarnel::schedule
