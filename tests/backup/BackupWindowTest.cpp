// The interactive cycle through the real main window under Wine, over the real registry and
// files: back up an identity with a password, open the file (its dialog and the password
// prompt answered through their windows), restore into the second identity.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/ItemsFixture.h"
#include "discwriter/DiscResource.h"
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
    system_.computerName = "BOX";
    system_.userName = "alice";
    system_.now = platform::LocalTime{2026, 12, 5, 10, 0, 0};
    app::CommandLine().clear();
    for (const char* key : {"burndvd", "runoutlookafterbackup", "runoutlookafterrestore"}) {
      app::WriteINI(app::SettingsFilePath(), "General", key, "0");
    }
    app::WriteINI(app::SettingsFilePath(), "backup", "openfolderbackup", "0");
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
  void OpenFile(const std::string& path, std::vector<DialogDriver::Step> after = {}, int* unexpectedPrompts = nullptr) {
    after.insert(after.begin(), ChooseFile("Restore Data from a Backup file", path));
    DialogDriver driver(std::move(after));
    messages_.shown.clear();
    Click(Control::cmdSourceFile);
    EXPECT_TRUE(driver.Done()) << path;
    if (unexpectedPrompts) *unexpectedPrompts = driver.unexpectedPrompts;
  }
  std::string Summary(const char* heading, const char* verb, const std::vector<std::string>& names) {
    std::string text = std::string(heading) + "\r\n";
    for (const std::string& name : names) text += "\r\n" + std::string(verb) + " " + name + "\tSuccessed!";
    return text;
  }
  std::string LastMessage() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  std::unique_ptr<app::MainWindow> window_;
};

TEST_P(BackupWindowTest, BackUpWithAPasswordOpenWithThePromptAndRestoreIntoTheSecondIdentity) {
  Choose(Control::cbSource, "Main Identity");
  DialogDriver save({ChooseFile("Save Outlook Express Data as", Path("my backup.soe"))});
  Click(Control::cmdTargetFile);
  ASSERT_TRUE(save.Done());
  EXPECT_EQ(state_.TargetPath, Path("my backup.soe"));
  for (int i = 0; i < app::kItemCount; ++i) Click(Item(ItemSet::Backup, i));
  Type(Handle(Control::txtAttachInfo), "Line one\rLine two");
  Click(Control::ifprotect);
  for (Control field : {Control::txtPassword, Control::txtPassword2})
    Type(Handle(field), "s3cret pass and more than twenty");
  EXPECT_EQ(TextOf(Handle(Control::txtPassword)), "s3cret pass and more");  // what the prompt can take
  Click(Control::cmdApply);
  EXPECT_EQ(LastMessage(), Summary("The Backup was Completed!", "Backup",
                                   {"Accounts", "Adress Book", "Rules", "Messages", "Block Senders", "Signatures",
                                    "Stationeries", "Settings"}));
  EXPECT_EQ(state_.Zip1->IsArchiveProtected(Path("my backup.soe")), 1);
  EXPECT_FALSE(IsWindowVisible(Handle(Control::picCon3)));

  ShowTab(1);
  std::string mask;
  OpenFile(Path("my backup.soe"), {AnswerPrompt("s3cret pass and more", false, &mask)});
  EXPECT_EQ(mask, "* 20");
  EXPECT_TRUE(messages_.shown.empty()) << LastMessage();
  EXPECT_EQ(TextOf(Handle(Control::txtSourceFile)), Path("my backup.soe"));
  EXPECT_EQ(
      TextOf(Handle(Control::txtPOBinfo)).rfind("Computer:BOX\r\nUser:alice\r\nIdentity:Main Identity\r\nDate:", 0),
      0u);
  EXPECT_EQ(TextOf(Handle(Control::txtFileInfo)), "Line one\r\nLine two");
  for (int i = 0; i < app::kItemCount; ++i) EXPECT_TRUE(IsWindowEnabled(Item(ItemSet::Restore, i))) << i;

  Choose(Control::cbTarget, "Work");
  PutText(VersionPath(kIdentityB, "Rules\\Old"), "Gone", "after the restore");
  Write("Common Files\\Microsoft Shared\\Stationery\\Ivy;2005.htm", "changed since");
  for (int i = 0; i < app::kItemCount; ++i) Click(Item(ItemSet::Restore, i));
  Click(Control::cmdApply);  // the question is answered OK
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(LastMessage(), Summary("The Restore was Completed!", "Restore",
                                   {"Accounts", "Adress Book", "Rules", "Messages", "Block Senders", "Signatures",
                                    "Stationeries", "Settings"}));
  // The signatures with their blank lines, the values of every type and the files whose
  // names hold ";" are all back, as the registry itself lists them.
  const std::string accounts = "Software\\Microsoft\\Internet Account Manager\\Accounts";
  for (const char* below : {"Rules", "Block Senders", "signatures", "Mail"}) {
    EXPECT_EQ(DumpTree(platform::Registry(), platform::kHkeyCurrentUser, VersionPath(kIdentityB, below)),
              DumpTree(platform::Registry(), platform::kHkeyCurrentUser, VersionPath(kIdentityA, below)))
        << below;
  }
  EXPECT_EQ(DumpTree(platform::Registry(), platform::kHkeyCurrentUser, IdentityPath(kIdentityB, accounts)),
            DumpTree(platform::Registry(), platform::kHkeyCurrentUser, IdentityPath(kIdentityA, accounts)));
  for (const std::string& name : kMailFolderFiles) {
    EXPECT_TRUE(Read("Store B\\" + name) == Read("Store A\\" + name)) << name;
  }
  EXPECT_EQ(Read("Common Files\\Microsoft Shared\\Stationery\\Ivy;2005.htm"), "<html>ivy of 2005</html>");
}

TEST_P(BackupWindowTest, APromptCancelledKeepsThePasswordAWrongOneIsRefusedAndBadFilesAreInvalid) {
  Choose(Control::cbSource, "Main Identity");
  Click(Item(ItemSet::Backup, 3));
  Click(Control::ifprotect);
  for (Control field : {Control::txtPassword, Control::txtPassword2}) Type(Handle(field), "right");
  Click(Control::cmdApply);
  ShowTab(1);
  const std::string backup = state_.TargetPath;
  state_.RestorePassword = "right";
  OpenFile(backup, {AnswerPrompt("", true)});
  EXPECT_TRUE(messages_.shown.empty()) << LastMessage();
  EXPECT_TRUE(IsWindowEnabled(Item(ItemSet::Restore, 3)));

  OpenFile(backup, {AnswerPrompt("wrong")});
  EXPECT_EQ(LastMessage(), "Incorect Password or Invalid backup file");
  EXPECT_EQ(TextOf(Handle(Control::txtSourceFile)), "");
  EXPECT_FALSE(IsWindowEnabled(Item(ItemSet::Restore, 3)));

  const std::string info = "BackupIdentity=Main Identity\r\nBackupItem=00010000\r\nBackupMails=Inbox.dbx\r\n";
  ASSERT_TRUE(MakeZipDirectly(Path("plain.soe"), {{"Inbox.dbx", "mail"}, {"quarnel.dat", info}}));
  ASSERT_TRUE(MakeZipDirectly(Path("none.soe"), {{"Inbox.dbx", "mail"}}));
  ASSERT_TRUE(MakeZipDirectly(Path("seven.soe"), {{"quarnel.dat", "BackupItem=0001000\r\n"}}));
  int prompts = -1;
  OpenFile(Path("plain.soe"), {}, &prompts);
  EXPECT_EQ(prompts, 0);  // an unprotected backup never asks
  EXPECT_TRUE(messages_.shown.empty()) << LastMessage();
  EXPECT_EQ(TextOf(Handle(Control::txtPOBinfo)), "Computer:\r\nUser:\r\nIdentity:Main Identity\r\nDate:");
  for (const char* bad : {"none.soe", "seven.soe"}) {
    OpenFile(Path(bad));
    EXPECT_EQ(LastMessage(), "Invalid backup file") << bad;
    EXPECT_TRUE(state_.NoValidBackupFile);
  }
}

// With "Burn Backup file to CD/DVD after backup finish" on, the finished backup opens the
// disc writer holding exactly that file in its image.
TEST_P(BackupWindowTest, AFinishedBackupOpensTheDiscWriterWithTheBackupFile) {
  app::WriteINI(app::SettingsFilePath(), "General", "burndvd", "1");
  Choose(Control::cbSource, "Main Identity");
  Click(Item(ItemSet::Backup, 7));
  std::vector<std::string> image;
  DialogDriver writer({{"Backup Outlook Express Data to CD/DVD", [&](HWND dialog) {
                          HWND list = GetDlgItem(dialog, IDC_LVWIMAGEFILES);
                          const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
                          for (int row = 0; row < rows; ++row) {
                            char text[MAX_PATH] = {};
                            LVITEMA item = {};
                            item.iSubItem = 0;
                            item.pszText = text;
                            item.cchTextMax = sizeof text;
                            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
                            image.push_back(text);
                          }
                          PostMessageA(dialog, WM_CLOSE, 0, 0);
                        }}});
  Click(Control::cmdApply);
  EXPECT_TRUE(writer.Done());
  const std::string name = state_.TargetPath.substr(state_.TargetPath.rfind('\\') + 1);
  EXPECT_EQ(image, std::vector<std::string>{name});
  EXPECT_TRUE(state_.DiscWriterHandOver.fileName.empty());
  EXPECT_EQ(LastMessage(), Summary("The Backup was Completed!", "Backup", {"Settings"}));
}

INSTANTIATE_TEST_SUITE_P(Win32, BackupWindowTest, ::testing::Values(RegistryBackends().back()), BackendName);

}  // namespace
}  // namespace quarnel::testing
