// File > Export Mail... through the real windows under Wine: with no backup open, the
// backup is chosen in the file dialog and its password typed into frmPwd; the export
// window then lists its folders and exports the ticked ones.
#include "archive/LocalFile.h"
#include "exportui/ExportLogic.h"
#include "exportui/ExportResource.h"
#include "exportui/ExportWindow.h"
#include "exportui/MailBackup.h"
#include "mainwindow/MainWindowFixture.h"
#include "support/DialogDriver.h"

namespace quarnel::app {
namespace {

using archive::detail::JoinPath;
using testing::DialogDriver;

std::vector<std::string> Rows(HWND list) {
  std::vector<std::string> rows;
  for (int row = 0; row < ListView_GetItemCount(list); ++row) {
    char text[128] = {};
    ListView_GetItemText(list, row, 0, text, sizeof text);
    rows.push_back(std::string(text) + (ListView_GetCheckState(list, row) == 1 ? " [x]" : ""));
  }
  return rows;
}

TEST_F(MainWindowTest, ExportMailOpensAProtectedBackupAndExportsTheTickedFolders) {
  const std::string backup = dir_.File("main.soe"), out = dir_.File("out");
  ASSERT_TRUE(testing::WriteMailBackup(dir_, backup));
  Open();
  std::vector<std::string> before, after;
  std::string summary;
  DialogDriver driver({testing::ChooseFile("Restore Data from a Backup file", backup),
                       testing::AnswerPrompt(testing::kMailPassword),
                       {exportui::kExportCaption, [&](HWND dialog) {
                          HWND list = GetDlgItem(dialog, IDC_EXP_FOLDERS);
                          before = Rows(list);
                          ListView_SetCheckState(list, 1, TRUE);   // a heading takes no tick
                          ListView_SetCheckState(list, 4, FALSE);  // Old;2005
                          after = Rows(list);
                          SetDlgItemTextA(dialog, IDC_EXP_TARGET, out.c_str());
                          SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
                          summary = TextOf(GetDlgItem(dialog, IDC_EXP_SUMMARY));
                          SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
                        }}});
  Command(IDM_EXPORTMAIL);
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(driver.unexpectedPrompts, 0);
  EXPECT_EQ(exportui::ExportWindow::Current(), nullptr);
  EXPECT_EQ(before, (std::vector<std::string>{"a;b;c [x]", "Local Folders", "    Inbox [x]", "        Family [x]",
                                              "    Old;2005 [x]"}));
  EXPECT_EQ(after, (std::vector<std::string>{"a;b;c [x]", "Local Folders", "    Inbox [x]", "        Family [x]",
                                             "    Old;2005"}));
  EXPECT_EQ(summary.rfind("a;b;c: 6 exported, 1 skipped, 0 damaged\r\n", 0), 0u) << summary;
  for (const std::string& folder : {"a;b;c", "Local Folders\\Inbox", "Local Folders\\Inbox\\Family"}) {
    EXPECT_TRUE(testing::EmlTexts(JoinPath(out, folder)) == testing::StoredTexts()) << folder;
  }
  EXPECT_FALSE(platform::Files().FolderExists(JoinPath(out, "Local Folders\\Old;2005")));
  EXPECT_EQ(TextOf(Handle(Control::txtSourceFile)), backup);  // the restore page has it open now
}

}  // namespace
}  // namespace quarnel::app
