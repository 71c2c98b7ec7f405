// File > Export Mail... through the real windows under Wine: with no backup open, the
// backup is chosen in the file dialog and its password typed into frmPwd; the export
// window then lists its folders and exports the ticked ones.
#include "archive/LocalFile.h"
#include "exportui/ExportLogic.h"
#include "exportui/ExportResource.h"
#include "mailstore/MailTestFiles.h"
#include "mainwindow/MainWindowFixture.h"
#include "support/DialogDriver.h"

namespace quarnel::app {
namespace {

TEST_F(MainWindowTest, ExportMailOpensAProtectedBackupAndExportsTheTickedFolders) {
  const std::string backup = dir.File("main.soe"), out = dir.File("out");
  ASSERT_TRUE(testing::WriteMailBackup(dir, backup));
  Open();
  std::string rows, summary;
  testing::DialogDriver driver({testing::ChooseFile("Restore Data from a Backup file", backup),
                                testing::AnswerPrompt(testing::kMailPassword),
                                {exportui::kExportCaption, [&](HWND dialog) {
                                   HWND list = GetDlgItem(dialog, IDC_EXP_FOLDERS);
                                   ListView_SetCheckState(list, 1, TRUE);   // a heading takes no box
                                   ListView_SetCheckState(list, 4, FALSE);  // Inbox;2005
                                   for (int row = 0; row < ListView_GetItemCount(list); ++row) {
                                     char text[64] = {};
                                     ListView_GetItemText(list, row, 0, text, sizeof text);
                                     rows += text + std::string(ListView_GetCheckState(list, row) == 1 ? "[x]|" : "|");
                                   }
                                   SetDlgItemTextA(dialog, IDC_EXP_TARGET, out.c_str());
                                   SendDlgItemMessageA(dialog, IDOK, BM_CLICK, 0, 0);
                                   summary = TextOf(GetDlgItem(dialog, IDC_EXP_SUMMARY));
                                   SendDlgItemMessageA(dialog, IDCANCEL, BM_CLICK, 0, 0);
                                 }}});
  Command(IDM_EXPORTMAIL);
  EXPECT_TRUE(driver.Done());
  EXPECT_EQ(rows, "a;b;c[x]|Local Folders|    Inbox[x]|        Family[x]|    Inbox;2005|");
  EXPECT_EQ(summary.rfind("a;b;c: 6 exported, 1 skipped, 0 damaged\r\n", 0), 0u) << summary;
  // What the export wrote is checked by the logic's test; here, that it ran on the ticked rows.
  EXPECT_TRUE(testing::EmlTexts(archive::detail::JoinPath(out, "a;b;c")) == testing::StoredTexts());
  EXPECT_FALSE(platform::Files().FolderExists(out + "\\Local Folders\\Inbox;2005"));
}

}  // namespace
}  // namespace quarnel::app
