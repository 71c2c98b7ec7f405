// Frmoption in this process under Wine: the real dialog, driven by messages from inside its
// modal loop, with programs and message boxes recorded.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "app/MainWindow.h"
#include "app/Resource.h"
#include "app/Settings.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"
#include "schedule/ScheduleResource.h"
#include "schedule/ScheduleWindow.h"
#include "support/ModalProbe.h"
#include "support/OverrideSystem.h"
#include "support/RegistrySeed.h"
#include "support/TempFolder.h"

namespace quarnel::schedule {
namespace {

using C = ScheduleControl;
using platform::MessageIcon;
using testing::ModalProbe;

std::string TextOf(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

HWND FindByText(HWND parent, const std::string& text) {
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (TextOf(child) == text) return child;
  }
  return nullptr;
}

HWND OpenWindow() {
  ScheduleWindow* window = ScheduleWindow::Current();
  return window != nullptr ? window->Handle() : nullptr;
}

class ScheduleWindowTest : public ::testing::Test {
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

  std::string Target(const std::string& name) { return dir_.path() + "\\" + name; }

  testing::TempFolder dir_;
  testing::OverrideSystem system_{dir_.path()};
  platform::MemoryRegistry registry_;
  platform::RecordingProcesses processes_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_{
      {.registry = &registry_, .system = &system_, .processes = &processes_, .messages = &messages_}};
};

TEST_F(ScheduleWindowTest, OpensWithItsControlsTheIdentitiesAndTheStartTimes) {
  Run([&](ScheduleWindow& w) {
    HWND dialog = w.Handle();
    EXPECT_EQ(TextOf(dialog), "Task Scheduler");
    EXPECT_EQ(TextOf(GetDlgItem(dialog, IDC_SCH_INTRO)),
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
    for (int i = 0; i < app::kItemCount; ++i) EXPECT_EQ(TextOf(w.ItemBox(i)), items[i]);

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
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(processes_.ran.empty());
}

TEST_F(ScheduleWindowTest, ClicksScheduleATaskAndAFailureKeepsTheWindowOpen) {
  platform::FinishedRun fine, refused;
  fine.started = refused.started = true;
  refused.exitCode = 1;
  refused.output = "ERROR: Invalid syntax.\r\n";
  processes_.runResults = {fine, fine, refused};
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
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Task Quarnel AutoBackup could not be scheduled.\r\n\r\nERROR: Invalid syntax.");
    EXPECT_EQ(ScheduleWindow::Current(), &w);

    Click(w.ControlHandle(C::chkMonday));
    Click(w.ControlHandle(C::Command3));
  });
  ASSERT_EQ(processes_.ran.size(), 6u);
  const std::string tail = " /tn \"Quarnel AutoBackup\" /tr \"\\\"" + dir_.path() +
                           "\\quarnel.exe\\\" sf=Workxm=10100000ps=pwbf=" + Target("outbackup-Work.soe") + "\"";
  EXPECT_EQ(processes_.ran[2], "schtasks /create /sc WEEKLY /d Mon,Sun /st 23:30:00" + tail);
  EXPECT_EQ(processes_.ran[3], "schtasks /end  /tn \"Quarnel AutoBackup\"");
  EXPECT_EQ(processes_.ran[5], "schtasks /create /sc WEEKLY /d Sun /st 23:30:00" + tail);
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[1].text, "Task Quarnel AutoBackup has been scheduled.");
  EXPECT_EQ(messages_.shown[1].icon, MessageIcon::Information);
}

TEST_F(ScheduleWindowTest, BrowseOpensTheSaveDialogOwnedByTheWindowAndCancelKeepsTheTarget) {
  std::string title;
  Run([&](ScheduleWindow& w) {
    HWND dialog = w.Handle();
    ModalProbe picker([dialog] { return ModalProbe::OwnedBy(dialog); }, [&](HWND d) { title = TextOf(d); });
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
      EXPECT_TRUE(processes_.ran.empty()) << way;
    });
  }
  EXPECT_TRUE(processes_.ran.empty());
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(ScheduleWindowTest, WithoutIdentitiesAddIsDisabled) {
  platform::MemoryRegistry empty;
  platform::ScopedServices none({.registry = &empty});
  Run([&](ScheduleWindow& w) {
    EXPECT_FALSE(w.Enabled(C::Command3));
    EXPECT_TRUE(w.Enabled(C::Command1));
  });
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Your Windows System have not install Outlook Express ");
}

// The real schtasks of the system, run hidden and waited for. Wine's tool deletes tasks but
// does not take the weekly schedule switches; whatever the tool does, the window's answer
// must match it.
TEST_F(ScheduleWindowTest, TheSystemsSchtasksRunsHiddenAndTheWindowReportsWhatItDid) {
  platform::ScopedServices real({.processes = platform::DefaultServices().processes});
  bool closedByAdd = true;
  Run([&](ScheduleWindow& w) {
    Click(w.ControlHandle(C::Command1));
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, "Task Quarnel AutoBackup has been Delete.");
    Click(w.ItemBox(7));
    Click(w.ControlHandle(C::Command3));
    closedByAdd = false;
  });
  ASSERT_EQ(messages_.shown.size(), 2u);
  const std::string& added = messages_.shown[1].text;
  if (added == "Task Quarnel AutoBackup has been scheduled.") {
    EXPECT_TRUE(closedByAdd);
  } else {
    EXPECT_EQ(added.rfind("Task Quarnel AutoBackup could not be scheduled.\r\n\r\n", 0), 0u) << added;
    EXPECT_EQ(messages_.shown[1].icon, MessageIcon::Critical);
  }
  platform::Procs().RunHidden("schtasks /delete /f /tn \"Quarnel AutoBackup\"");
}

TEST_F(ScheduleWindowTest, TheMainWindowsMenuOpensItModalToTheMainWindow) {
  app::CommandLine().clear();
  app::MainState state;
  app::MainWindow main(GetModuleHandleA(nullptr), state);
  ASSERT_TRUE(main.Create());
  HWND owner = nullptr;
  bool mainDisabled = false;
  {
    ModalProbe probe(OpenWindow, [&](HWND w) {
      owner = GetWindow(w, GW_OWNER);
      mainDisabled = !IsWindowEnabled(main.Handle());
    });
    SendMessageA(main.Handle(), WM_COMMAND, MAKEWPARAM(IDM_TASKSCHEDULER, 0), 0);
    EXPECT_TRUE(probe.seen());
  }
  EXPECT_EQ(owner, main.Handle());
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(IsWindowEnabled(main.Handle()));
}

}  // namespace
}  // namespace quarnel::schedule
