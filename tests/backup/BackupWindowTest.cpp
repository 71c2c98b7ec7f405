// The interactive cycle through the real main window under Wine, over the real registry and
// files: back up an identity with a password, open the file (its dialog and the password
// prompt answered through their windows), restore into the second identity.
#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "backup/ItemsFixture.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Resource.h"
#include "support/DialogDriver.h"

namespace quarnel::testing {
namespace {

using app::Control;
using app::ItemSet;

std::string TextOf(HWND window) {
  std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
  text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

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
      if (message.message == WM_QUIT) continue;
      if (window_ && window_->PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  HWND Handle(Control c) { return window_->ControlHandle(c); }
  void Click(HWND button) {
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump();
  }
  void Click(Control c) { Click(Handle(c)); }
  HWND Item(ItemSet set, int i) {
    return GetDlgItem(GetParent(Handle(set == ItemSet::Backup ? Control::cbSource : Control::cbTarget)),
                      (set == ItemSet::Backup ? IDC_BACKUPITEM0 : IDC_RESTOREITEM0) + i);
  }
  void Choose(Control combo, const std::string& name) {
    HWND box = Handle(combo);
    LRESULT index =
        SendMessageA(box, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(name.c_str()));
    ASSERT_GE(index, 0) << name;
    SendMessageA(box, CB_SETCURSEL, index, 0);
    SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(box));
    Pump();
  }
  void ShowTab(int index) {
    HWND tabs = GetDlgItem(window_->Handle(), IDC_SSTAB1);
    SendMessageA(tabs, TCM_SETCURSEL, index, 0);
    NMHDR header = {tabs, IDC_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(window_->Handle(), WM_NOTIFY, IDC_SSTAB1, reinterpret_cast<LPARAM>(&header));
    Pump();
  }
  void Type(HWND field, const std::string& text) {
    for (char c : text) SendMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 0);
  }
  // Opens a backup file through the Browse button and whatever windows it brings up.
  void OpenFile(const std::string& path, std::vector<DialogDriver::Step> after) {
    after.insert(after.begin(), ChooseFile("Restore Data from a Backup file", path));
    DialogDriver driver(std::move(after));
    messages_.shown.clear();
    Click(Control::cmdSourceFile);
    EXPECT_TRUE(driver.Done()) << path;
  }
  // Every item done: "<heading>\r\n" and a line "\r\n<verb> <item>\tSuccessed!" for each.
  std::string Summary(const char* heading, const std::string& verb) {
    std::string text = std::string(heading) + "\r\n";
    for (const char* name :
         {"Accounts", "Adress Book", "Rules", "Messages", "Block Senders", "Signatures", "Stationeries", "Settings"}) {
      text += "\r\n" + verb + " " + name + "\tSuccessed!";
    }
    return text;
  }
  std::string LastMessage() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  std::unique_ptr<app::MainWindow> window_;
};

// The backup's last step hands the file to the disc writer ("Burn Backup file to CD/DVD
// after backup finish"), which takes it over.
TEST_P(BackupWindowTest, BackUpWithAPasswordOpenWithThePromptAndRestoreIntoTheSecondIdentity) {
  app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "1");
  Choose(Control::cbSource, "Main Identity");
  DialogDriver save({ChooseFile("Save Outlook Express Data as", Path("my backup.soe"))});
  Click(Control::cmdTargetFile);
  ASSERT_TRUE(save.Done());
  for (int i = 0; i < app::kItemCount; ++i) Click(Item(ItemSet::Backup, i));
  Type(Handle(Control::txtAttachInfo), "Line one\rLine two");
  Click(Control::ifprotect);
  for (Control field : {Control::txtPassword, Control::txtPassword2}) {
    Type(Handle(field), "s3cret pass and more than twenty");
  }
  EXPECT_EQ(TextOf(Handle(Control::txtPassword)), "s3cret pass and more");  // what the prompt can take
  DialogDriver writer(
      {{"Backup Outlook Express Data to CD/DVD", [](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); }}});
  Click(Control::cmdApply);
  EXPECT_TRUE(writer.Done());
  EXPECT_TRUE(state_.DiscWriterHandOver.fileName.empty());
  EXPECT_EQ(LastMessage(), Summary("The Backup was Completed!", "Backup"));
  EXPECT_EQ(state_.Zip1->IsArchiveProtected(Path("my backup.soe")), 1);

  ShowTab(1);
  std::string mask;
  OpenFile(Path("my backup.soe"), {AnswerPrompt("s3cret pass and more", false, &mask)});
  EXPECT_EQ(mask, "* 20");
  EXPECT_TRUE(messages_.shown.empty()) << LastMessage();
  EXPECT_EQ(TextOf(Handle(Control::txtFileInfo)), "Line one\r\nLine two");
  Choose(Control::cbTarget, "Work");
  Write(std::string(kStationery) + "\\Ivy;2005.htm", "changed since");
  for (int i = 0; i < app::kItemCount; ++i) Click(Item(ItemSet::Restore, i));
  Click(Control::cmdApply);  // the question is answered OK
  EXPECT_EQ(LastMessage(), Summary("The Restore was Completed!", "Restore"));
  EXPECT_EQ(Tree(VersionPath(kIdentityB, "signatures")), Tree(VersionPath(kIdentityA, "signatures")));
  EXPECT_TRUE(Read("Store B\\Old;2005.dbx") == Read("Store A\\Old;2005.dbx"));
  EXPECT_EQ(Read(std::string(kStationery) + "\\Ivy;2005.htm"), "<html>ivy of 2005</html>");
}

INSTANTIATE_TEST_SUITE_P(Win32, BackupWindowTest, ::testing::Values(RegistryBackends().back()), BackendName);

}  // namespace
}  // namespace quarnel::testing
