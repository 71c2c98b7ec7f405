// Frmoption in this process under Wine: the real dialog, driven by messages from inside its
// modal loop, with programs and message boxes recorded.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include "app/Win32Controls.h"
#include "schedule/ScheduleResource.h"
#include "schedule/ScheduleWindow.h"
#include "schedule/TaskCommands.h"
#include "support/ModalProbe.h"
#include "support/RecordedSeams.h"
#include "support/RegistrySeed.h"

namespace quarnel::schedule {
namespace {

using C = ScheduleControl;
using testing::ModalProbe;

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

// The clicks reach the logic (what it decides is tested natively); a refused task keeps the
// window open for another try.
TEST_F(ScheduleWindowTest, ClicksBrowseAndScheduleATaskAndAFailureKeepsTheWindowOpen) {
  platform::FinishedRun fine, refused;
  fine.started = refused.started = true;
  refused.exitCode = 1;
  processes.runResults = {fine, fine, refused};
  Run([&](ScheduleWindow& w) {
    EXPECT_FALSE(IsWindowEnabled(w.ItemBox(0)));  // the first identity has no accounts of its own
    // Browse opens the save dialog owned by the window; cancelling it keeps the target.
    HWND dialog = w.Handle();
    ModalProbe picker([dialog] { return ModalProbe::OwnedBy(dialog); }, [](HWND) {});
    Click(w.ControlHandle(C::cmdTargetFile));
    EXPECT_TRUE(picker.seen());
    EXPECT_EQ(w.Text(C::txtTargetFile), Target("outbackup-Main Identity.soe"));
    // The second identity, two items, Sunday, half past eleven, a password.
    SendMessageA(w.ControlHandle(C::cbSource), CB_SETCURSEL, 1, 0);
    SendMessageA(w.Handle(), WM_COMMAND, MAKEWPARAM(IDC_SCH_CBSOURCE, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(w.ControlHandle(C::cbSource)));
    Click(w.ItemBox(0));
    Click(w.ItemBox(2));
    Click(w.ControlHandle(C::chkSunday));
    SetWindowTextA(w.ControlHandle(C::cmbStartTime), "23:30");
    Click(w.ControlHandle(C::ifprotect));
    SetWindowTextA(w.ControlHandle(C::txtPassword), "pw");
    SetWindowTextA(w.ControlHandle(C::txtPassword2), "pw");
    Click(w.ControlHandle(C::Command3));
    EXPECT_EQ(ScheduleWindow::Current(), &w);
    Click(w.ControlHandle(C::Command3));
  });
  ASSERT_EQ(processes.ran.size(), 6u);
  EXPECT_EQ(processes.ran[5], "schtasks /create /sc WEEKLY /d Sun /st 23:30:00 /tn \"Quarnel AutoBackup\" /tr \"\\\"" +
                                  dir.path() +
                                  "\\quarnel.exe\\\" sf=Workxm=10100000ps=pwbf=" + Target("outbackup-Work.soe") + "\"");
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].text, "Task Quarnel AutoBackup has been scheduled.");
}

// The frame's close box, like Esc and Cancel, reaches the dialog as IDCANCEL: nothing runs.
TEST_F(ScheduleWindowTest, ClosingTheWindowRunsNothing) {
  Run([](ScheduleWindow& w) { SendMessageA(w.Handle(), WM_CLOSE, 0, 0); });
  EXPECT_TRUE(processes.ran.empty());
  EXPECT_TRUE(messages.shown.empty());
}

// The task's program line, read back from the create command by the rules with which
// Windows programs split their command line: /tr gives back the program line whole.
TEST_F(ScheduleWindowTest, TheCreateCommandSplitsBackIntoTheTasksProgramLine) {
  TaskOptions options{"Main Identity", "10100000", "pass word", Target("my backups\\outbackup.soe")};
  std::string create = CreateTaskCommand("Mon,Sun", "09:00", options);
  std::wstring wide(create.begin(), create.end());
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_EQ(count, 12);
  const std::wstring last = arguments[11];
  LocalFree(arguments);
  EXPECT_EQ(std::string(last.begin(), last.end()), "\"" + dir.path() + "\\quarnel.exe\" " + TaskArguments(options));
}

}  // namespace
}  // namespace quarnel::schedule
