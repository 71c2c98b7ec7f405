// The mail export window's logic over a fake window, on a protected backup of generated
// mail folders: the folder list, the export of the ticked folders, cancelling, the
// summary and the log, and what it refuses; and how File > Export Mail... finds its backup.
#include <gtest/gtest.h>

#include "app/Log.h"
#include "archive/LocalFile.h"
#include "exportui/ExportLogic.h"
#include "exportui/MailBackup.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"
#include "support/FakeExportView.h"
#include "support/FakeMainView.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::testing {
namespace {

using archive::detail::JoinPath;
using exportui::ExportLogic;
using exportui::FolderRow;

class ExportLogicTest : public ::testing::Test {
 protected:
  ExportLogicTest() : system_(dir_.path()), scope_({.system = &system_, .messages = &messages_}) {}
  void SetUp() override { ASSERT_TRUE(WriteMailBackup(dir_, Backup())); }

  std::string Backup() const { return dir_.File("main.soe"); }
  std::string LastMessage() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }
  std::string Log() const { return FileText(app::LogFilePath()); }

  TempFolder dir_;
  OverrideSystem system_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  FakeExportView view_;
};

TEST_F(ExportLogicTest, ListsTheFoldersNestedAndExportsTheTickedOnesSummedUpInTheWindowAndTheLog) {
  ExportLogic logic(view_, Backup(), kMailPassword);
  logic.Opening();
  const std::vector<std::pair<std::string, int>> rows = {
      {"a;b;c", 0}, {"Local Folders", 0}, {"Inbox", 1}, {"Family", 2}, {"Old;2005", 1}};
  ASSERT_EQ(view_.rows.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(view_.rows[i].name, rows[i].first);
    EXPECT_EQ(view_.rows[i].depth, rows[i].second);
    EXPECT_EQ(view_.rows[i].mailFolder, i != 1) << i;
  }
  EXPECT_EQ(view_.target, JoinPath(dir_.path(), "main mail"));
  EXPECT_EQ(view_.format, mailexport::ExportFormat::kEml);

  view_.ticked[4] = false;
  const std::string out = dir_.File("out");
  view_.folderAnswer = out;
  logic.BrowseClicked();
  logic.ExportClicked();
  const std::string local = JoinPath(out, "Local Folders");
  for (const std::string& folder : {JoinPath(out, "a;b;c"), JoinPath(local, "Inbox"), JoinPath(local, "Inbox\\Family")})
    EXPECT_TRUE(EmlTexts(folder) == StoredTexts()) << folder;
  EXPECT_FALSE(platform::Files().FolderExists(JoinPath(local, "Old;2005")));
  const std::string counts = ": 6 exported, 1 skipped, 0 damaged\r\n";
  EXPECT_EQ(view_.summary, "a;b;c" + counts + "Local Folders\\Inbox" + counts + "Local Folders\\Inbox\\Family" +
                               counts + "Total: 18 exported, 3 skipped, 0 damaged\r\nExported to \"" + out +
                               "\"; the messages counted as skipped (only their headers are in the folder) or "
                               "damaged could not be exported.");
  EXPECT_EQ(view_.progress, 100);
  EXPECT_FALSE(view_.running);
  for (const std::string& record : std::vector<std::string>{
           " Start Export Mail from " + Backup() + "\n", " Export Mail to " + out + " as .eml files\n",
           " Export Local Folders\\Inbox\\Family: 6 exported, 1 skipped, 0 damaged\n",
           " Export Mail was not Completed!\r"}) {
    EXPECT_NE(Log().find(record), std::string::npos) << record;
  }

  // Cancelled as the second folder starts: the first is whole, the rest left out.
  view_.format = mailexport::ExportFormat::kMbox;
  view_.onPump = [&] {
    if (view_.status.rfind("Local Folders\\Inbox:", 0) == 0) logic.CloseClicked();
  };
  logic.ExportClicked();
  EXPECT_EQ(view_.summary, "a;b;c" + counts + "Local Folders\\Inbox: 0 exported, 0 skipped, 0 damaged\r\n" +
                               "Total: 6 exported, 1 skipped, 0 damaged\r\nCancelled: what is counted above was "
                               "exported to \"" +
                               out + "\".");
  EXPECT_EQ(FileText(JoinPath(out, "a;b;c.mbox")).substr(0, 5), "From ");
  EXPECT_EQ(view_.closes, 0);
  logic.CloseClicked();
  EXPECT_EQ(view_.closes, 1);
}

TEST_F(ExportLogicTest, RefusesAWrongPasswordABackupWithoutMailAndAnExportWithNoTargetOrFolder) {
  ExportLogic wrong(view_, Backup(), "geheim 2005");
  wrong.Opening();
  EXPECT_EQ(LastMessage(), "Incorect Password or Invalid backup file");
  EXPECT_EQ(view_.closes, 1);

  ASSERT_TRUE(WriteFileBytes(dir_.File("quarnel.dat"), "BackupItem=00000001\r\n"));
  archive::ZipArchive zip;
  zip.NewArchive(dir_.File("settings only.soe"));
  ASSERT_TRUE(zip.AppendPath(dir_.File("quarnel.dat")) && zip.WriteArchive());
  ExportLogic none(view_, dir_.File("settings only.soe"), "");
  none.Opening();
  EXPECT_EQ(LastMessage(), "The backup holds no mail folders.");
  EXPECT_EQ(view_.closes, 2);

  ExportLogic logic(view_, Backup(), kMailPassword);
  logic.Opening();
  view_.target = "  ";
  logic.ExportClicked();
  EXPECT_EQ(LastMessage(), "Please choose a target folder.");
  view_.target = dir_.File("out");
  view_.ticked.assign(view_.ticked.size(), false);
  logic.ExportClicked();
  EXPECT_EQ(LastMessage(), "Please select at least one mail folder.");
  EXPECT_FALSE(platform::Files().FolderExists(dir_.File("out")));
  EXPECT_EQ(view_.closes, 2);
}

// The backup opened on the restore page is taken as it is; with none, the page's Browse runs.
TEST_F(ExportLogicTest, ExportMailTakesTheOpenedBackupOrOpensOne) {
  app::MainState state;
  FakeMainView main;
  exportui::ExportMailFromMainWindow(state, main);
  ASSERT_EQ(main.dialogs.size(), 1u);
  EXPECT_EQ(main.dialogs[0].title, "Restore Data from a Backup file");
  EXPECT_TRUE(main.modals.empty());

  state.BackupFilePath = Backup();
  state.NoValidBackupFile = false;
  exportui::ExportMailFromMainWindow(state, main);
  EXPECT_EQ(main.dialogs.size(), 1u);
  EXPECT_EQ(main.modals, std::vector<app::ModalWindow>{app::ModalWindow::MailExport});
}

}  // namespace
}  // namespace quarnel::testing
