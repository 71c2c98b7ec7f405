// What the jobs read from the backup and restore pages, through the real windows under
// Wine: the proposal of the target's file dialog, the password fields and the prompt of a
// protected backup. What the jobs do with it is tested over a fake window (JobsTest).
#include <windows.h>
// After windows.h, which it needs.
#include <commdlg.h>
#include <zip.h>

#include "archive/ArchiveTestSupport.h"
#include "mainwindow/MainWindowFixture.h"
#include "support/DialogDriver.h"

namespace quarnel::app {
namespace {

TEST_F(MainWindowTest, TheFileDialogsPasswordFieldsAndPromptOfTheBackupAndRestorePages) {
  system.now = platform::LocalTime{2026, 12, 5, 10, 0, 0};
  AddIdentity("{51AB0001-0000-4000-8000-0000000000A1}", "J\xF6rg's Arbeit");
  const std::string backups = dir.File("Backups"), chosen = dir.File("Backups\\my backup.soe");
  const std::string password = "s3cret pass and more";  // what the fields and the prompt take of a longer one
  ASSERT_TRUE(platform::Files().CreateFolder(backups));
  WriteINI(SettingsFilePath(), "backup", "backupfolder", backups);
  Open();
  char proposed[MAX_PATH] = {}, folder[MAX_PATH] = {};
  {
    testing::DialogDriver save({{"Save Outlook Express Data as", [&](HWND dialog) {
                                   if (!GetDlgItemTextA(dialog, 0x47C, proposed, MAX_PATH)) {
                                     GetDlgItemTextA(dialog, 0x480, proposed, MAX_PATH);
                                   }
                                   SendMessageA(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
                                   testing::ChooseFile("", chosen).act(dialog);
                                 }}});
    Click(Control::cmdTargetFile);
    EXPECT_TRUE(save.Done());
  }
  EXPECT_EQ(std::string(proposed), "quarnel-J\xF6rg's Arbeit-12-05-2026");
  EXPECT_EQ(std::string(folder), backups);
  EXPECT_EQ(TextOf(Handle(Control::txtTargetFile)), chosen);
  Click(Control::ifprotect);
  for (Control field : {Control::txtPassword, Control::txtPassword2}) {
    for (char c : password + " than twenty") SendMessageA(Handle(field), WM_CHAR, static_cast<unsigned char>(c), 0);
    EXPECT_EQ(TextOf(Handle(field)), password);
  }

  ASSERT_TRUE(testing::MakeZipDirectly(
      chosen,
      {{"quarnel.dat", "BackupIdentity=J\xF6rg's Arbeit\r\nBackupItem=00010000\r\nBackupMails=Inbox.dbx\r\n"},
       {"Inbox.dbx", "mail"}},
      password, ZIP_EM_AES_256));
  ChooseTab(1);
  std::string prompt;
  {
    testing::DialogDriver open({testing::ChooseFile("Restore Data from a Backup file", chosen),
                                testing::AnswerPrompt(password, false, &prompt)});
    Click(Control::cmdSourceFile);
    EXPECT_TRUE(open.Done());
  }
  EXPECT_EQ(prompt, "* 20");
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.at(0).text;
  EXPECT_EQ(TextOf(Handle(Control::txtSourceFile)), chosen);
  EXPECT_TRUE(IsWindowEnabled(Item(ItemSet::Restore, 3)));
}

}  // namespace
}  // namespace quarnel::app
