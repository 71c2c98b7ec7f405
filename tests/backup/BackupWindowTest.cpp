// The interactive cycle through the real main window under Wine, over the real registry and
// files: its file dialogs and the password prompt answered through their windows. What the
// items and the jobs do is tested below the window.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>
#include <commdlg.h>

#include <memory>
#include <string>

#include "app/Settings.h"
#include "backup/ItemsFixture.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Resource.h"
#include "support/DialogDriver.h"

namespace quarnel::testing {
namespace {

using app::Control;

class BackupWindowTest : public ItemsTest {
 protected:
  void SetUp() override {
    ItemsTest::SetUp();
    SeedAll();
    app::CommandLine().clear();
    window_ = std::make_unique<app::MainWindow>(GetModuleHandleA(nullptr), state_);
    ASSERT_TRUE(window_->Create());
    ShowWindow(window_->Handle(), SW_SHOW);
    Pump();
  }
  void TearDown() override {
    window_.reset();
    Pump();
    ItemsTest::TearDown();
  }
  void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT || (window_ && window_->PreTranslate(message))) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  HWND Handle(Control c) { return window_->ControlHandle(c); }
  void Click(HWND button) {
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump();
  }
  void ShowRestorePage() {
    HWND tabs = GetDlgItem(window_->Handle(), IDC_SSTAB1);
    SendMessageA(tabs, TCM_SETCURSEL, 1, 0);
    NMHDR header = {tabs, IDC_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(window_->Handle(), WM_NOTIFY, IDC_SSTAB1, reinterpret_cast<LPARAM>(&header));
    Pump();
  }
  // Every item of a page ticked; the summary of the page's action when every item is done.
  std::string TickAll(int firstItem, const std::string& verb) {
    HWND page = GetParent(Handle(firstItem == IDC_BACKUPITEM0 ? Control::cbSource : Control::cbTarget));
    for (int i = 0; i < app::kItemCount; ++i) Click(GetDlgItem(page, firstItem + i));
    std::string summary = "The " + verb + " was Completed!\r\n";
    for (const char* name :
         {"Accounts", "Adress Book", "Rules", "Messages", "Block Senders", "Signatures", "Stationeries", "Settings"}) {
      summary += "\r\n" + verb + " " + name + "\tSuccessed!";
    }
    return summary;
  }
  std::string LastMessage() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  std::unique_ptr<app::MainWindow> window_;
};

// The target dialog proposes today's name in the backup folder; the password fields take
// what the prompt can.
TEST_P(BackupWindowTest, BackUpWithAPasswordOpenWithThePromptAndRestore) {
  system_.now = platform::LocalTime{2026, 12, 5, 10, 0, 0};
  app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "0");
  app::WriteINI(app::SettingsFilePath(), "backup", "backupfolder", MakeFolder("Backups"));
  char proposed[MAX_PATH] = {}, folder[MAX_PATH] = {};
  {
    DialogDriver save({{"Save Outlook Express Data as", [&](HWND dialog) {
                          if (!GetDlgItemTextA(dialog, 0x47C, proposed, MAX_PATH)) {
                            GetDlgItemTextA(dialog, 0x480, proposed, MAX_PATH);
                          }
                          SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
                          ChooseFile("", Path("my backup.soe")).act(dialog);
                        }}});
    Click(Handle(Control::cmdTargetFile));
    ASSERT_TRUE(save.Done());
  }
  char identity[64] = {};
  GetWindowTextA(Handle(Control::cbSource), identity, sizeof identity);
  EXPECT_EQ(std::string(proposed), "quarnel-" + std::string(identity) + "-12-05-2026");
  EXPECT_EQ(std::string(folder), Path("Backups"));
  Click(Handle(Control::ifprotect));
  for (Control field : {Control::txtPassword, Control::txtPassword2}) {
    for (char c : std::string("s3cret pass and more than twenty")) {
      SendMessageA(Handle(field), WM_CHAR, static_cast<unsigned char>(c), 0);
    }
  }
  const std::string backedUp = TickAll(IDC_BACKUPITEM0, "Backup");
  Click(Handle(Control::cmdApply));
  EXPECT_EQ(LastMessage(), backedUp);
  EXPECT_EQ(state_.Zip1->IsArchiveProtected(Path("my backup.soe")), 1);

  ShowRestorePage();
  std::string mask;
  {
    DialogDriver open({ChooseFile("Restore Data from a Backup file", Path("my backup.soe")),
                       AnswerPrompt("s3cret pass and more", false, &mask)});
    messages_.shown.clear();
    Click(Handle(Control::cmdSourceFile));
    EXPECT_TRUE(open.Done());
  }
  EXPECT_EQ(mask, "* 20");
  EXPECT_TRUE(messages_.shown.empty()) << LastMessage();
  Write(std::string(kStationery) + "\\Ivy;2005.htm", "changed since");
  const std::string restored = TickAll(IDC_RESTOREITEM0, "Restore");
  Click(Handle(Control::cmdApply));  // the question is answered OK
  EXPECT_EQ(LastMessage(), restored);
  EXPECT_EQ(Read(std::string(kStationery) + "\\Ivy;2005.htm"), "<html>ivy of 2005</html>");
}

INSTANTIATE_TEST_SUITE_P(Win32, BackupWindowTest, ::testing::Values(RegistryBackends().back()), BackendName);

}  // namespace
}  // namespace quarnel::testing
