// The mail export window's logic over a fake window, on a protected backup of generated
// mail folders; and how File > Export Mail... finds its backup. The window itself, a thin
// view of this logic, is not driven under Wine.
#include <gtest/gtest.h>

#include "app/Log.h"
#include "archive/LocalFile.h"
#include "exportui/ExportLogic.h"
#include "mailstore/MailTestFiles.h"
#include "support/FakeExportView.h"
#include "support/FakeMainView.h"
#include "support/RecordedSeams.h"

namespace quarnel::testing {
namespace {

using archive::detail::JoinPath;

class ExportLogicTest : public ::testing::Test, public RecordedSeams {
 protected:
  void SetUp() override { ASSERT_TRUE(WriteMailBackup(dir, backup_)); }
  std::string Text(const std::string& path) const {
    std::string text;
    return platform::Files().ReadAll(path, &text) ? text : "";
  }

  const std::string backup_ = dir.File("main.soe"), out_ = dir.File("out");
  FakeExportView view_;
  exportui::ExportLogic logic_{view_, backup_, kMailPassword};
};

TEST_F(ExportLogicTest, ExportsTheTickedFoldersSumsThemUpInTheWindowAndTheLogAndStopsWhenCancelled) {
  logic_.Opening();
  EXPECT_EQ(view_.Rows(), "a;b;c 0 [x], Local Folders 0, Inbox 1 [x], Family 2 [x], Inbox;2005 1 [x]");
  EXPECT_EQ(view_.target, JoinPath(dir.path(), "main mail"));
  view_.ticked[4] = false;
  view_.folderAnswer = out_;
  logic_.BrowseClicked();
  logic_.ExportClicked();
  for (const char* folder : {"a;b;c", "Local Folders\\Inbox", "Local Folders\\Inbox\\Family"}) {
    EXPECT_TRUE(EmlTexts(JoinPath(out_, folder)) == StoredTexts()) << folder;
  }
  EXPECT_FALSE(platform::Files().FolderExists(JoinPath(out_, "Local Folders\\Inbox;2005")));
  const std::string counts = ": 6 exported, 1 skipped, 0 damaged\r\n";
  EXPECT_EQ(view_.summary, "a;b;c" + counts + "Local Folders\\Inbox" + counts + "Local Folders\\Inbox\\Family" +
                               counts + "Total: 18 exported, 3 skipped, 0 damaged\r\nExported to \"" + out_ +
                               "\"; the messages counted as skipped (only their headers are in the folder) or "
                               "damaged could not be exported.");
  EXPECT_NE(Text(app::LogFilePath()).find(" Export Mail to " + out_ + " as .eml files\n"), std::string::npos);

  // Cancelled as the second folder starts: the first is whole, the rest left out.
  view_.format = mailexport::ExportFormat::kMbox;
  view_.onPump = [&] {
    if (view_.status.rfind("Local Folders\\Inbox:", 0) == 0) logic_.CloseClicked();
  };
  logic_.ExportClicked();
  EXPECT_EQ(view_.summary, "a;b;c" + counts + "Local Folders\\Inbox: 0 exported, 0 skipped, 0 damaged\r\nTotal: " +
                               counts.substr(2) + "Cancelled: what is counted above was exported to \"" + out_ + "\".");
  EXPECT_EQ(Text(JoinPath(out_, "a;b;c.mbox")).rfind("From ", 0), 0u);
  EXPECT_FALSE(view_.running);
  EXPECT_EQ(view_.closes, 0);
  logic_.CloseClicked();
  EXPECT_EQ(view_.closes, 1);
}

TEST_F(ExportLogicTest, RefusesAWrongPasswordAMissingTargetAndAnExportOfNoFolder) {
  exportui::ExportLogic wrong(view_, backup_, "geheim 2005");
  wrong.Opening();
  EXPECT_EQ(view_.closes, 1);
  logic_.Opening();
  view_.target = "  ";
  logic_.ExportClicked();
  view_.target = out_;
  view_.ticked.assign(view_.ticked.size(), false);
  logic_.ExportClicked();
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[0].text, "Incorect Password or Invalid backup file");
  EXPECT_EQ(messages.shown[1].text, "Please choose a target folder.");
  EXPECT_EQ(messages.shown[2].text, "Please select at least one mail folder.");
  EXPECT_FALSE(platform::Files().FolderExists(out_));
}

// With no backup open on the restore page, its Browse runs first and a protected backup asks
// for its password; once open, the backup is taken as it is.
TEST_F(ExportLogicTest, ExportMailOpensABackupWhenNoneIsOpenAndTakesTheOneOpen) {
  app::MainState state;
  FakeMainView main;
  main.dialogAnswer = backup_;
  main.onModal = [&](app::ModalWindow window) {
    if (window == app::ModalWindow::Password) state.RestorePassword = kMailPassword;
  };
  exportui::ExportMailFromMainWindow(state, main);
  ASSERT_EQ(main.dialogs.size(), 1u);
  EXPECT_EQ(main.dialogs[0].title, "Restore Data from a Backup file");
  exportui::ExportMailFromMainWindow(state, main);
  EXPECT_EQ(main.dialogs.size(), 1u);
  EXPECT_EQ(main.modals, (std::vector<app::ModalWindow>{app::ModalWindow::Password, app::ModalWindow::MailExport,
                                                        app::ModalWindow::MailExport}));
  EXPECT_EQ(state.BackupFilePath, backup_);
}

}  // namespace
}  // namespace quarnel::testing
