// frmMaindvdwrite's logic over a fake window and a fake engine (with a real image tree).
#include <gtest/gtest.h>

#include "DiscTestSupport.h"
#include "FakeDisc.h"
#include "discwriter/DiscText.h"
#include "discwriter/WriterLogic.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using platform::MessageIcon;
using platform::MessageResult;
using C = WriterControl;

class WriterLogicTest : public ::testing::Test {
 protected:
  WriterLogicTest() : scope_({.messages = &messages_}) {}

  testing::FakeDevice& Drive() { return *engine_.devices.at(0); }
  void Open() {
    logic_ = std::make_unique<WriterLogic>(view_, engine_, handOver_);
    logic_->Load();
  }
  std::string File(const std::string& name, std::uint64_t size = 10) {
    std::string path = testing::Join(dir_.path(), name);
    testing::MakePatternFile(path, size, 1);
    return path;
  }
  // Starts a write that the fake engine accepts.
  void StartWrite() {
    messages_.shown.clear();
    logic_->Run(WriterCommand::WriteDisc);
    ASSERT_FALSE(logic_->Idle());
  }
  std::string LastMessage() { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  testing::TempFolder dir_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  testing::FakeWriterView view_;
  testing::FakeEngine engine_;
  app::DiscHandOver handOver_;
  std::unique_ptr<WriterLogic> logic_;
};

TEST_F(WriterLogicTest, OpeningListsSupportedDrivesSpeedsVolumeTypesAndAnEmptyImage) {
  engine_.AddDevice("Old Drive").supported = false;
  testing::FakeDevice& burner = engine_.AddDevice("Burner");
  burner.speeds = {{1764, 10.0}, {4234, 24.0}, {44, 0.5}};
  burner.capabilities = {kCapBufferProtect};
  Open();
  EXPECT_EQ(view_.Text(C::frmMaindvdwrite), "Backup Outlook Express Data to CD/DVD");
  ASSERT_EQ(view_.ListCount(C::cboDevices), 1);
  EXPECT_EQ(view_.ListItem(C::cboDevices, 0), "Burner");
  EXPECT_EQ(view_.ListData(C::cboDevices, 0), 1);  // the drive's own index
  EXPECT_EQ(view_.ListIndex(C::cboDevices), 0);
  EXPECT_EQ(burner.refreshes, std::vector<bool>{false});
  std::vector<std::pair<std::string, long>> speeds = {{"10.0x", 1764}, {"24.0x", 4234}, {".5x", 44}};
  EXPECT_EQ(view_.controls[C::cboWriteSpeed].items, speeds);
  EXPECT_EQ(view_.ListIndex(C::cboWriteSpeed), 0);
  EXPECT_TRUE(view_.Checked(C::chkUseBufferProtect));
  EXPECT_TRUE(view_.Enabled(C::chkUseBufferProtect));

  std::vector<std::pair<std::string, long>> types = {{"ISO9660", 1},
                                                     {"UDF", 4},
                                                     {"ISO9660/Joliet Bridge", 3},
                                                     {"ISO9660/UDF (DVDVideo) Bridge", 5},
                                                     {"ISO9660/Joliet/UDF Bridge", 7}};
  EXPECT_EQ(view_.controls[C::cboVolumeType].items, types);
  EXPECT_EQ(view_.ListIndex(C::cboVolumeType), 4);
  EXPECT_EQ(engine_.settings.FileSystem, 7);
  EXPECT_EQ(engine_.settings.ImageOption, 1);
  EXPECT_TRUE(engine_.settings.UseFileDates);
  EXPECT_TRUE(view_.Checked(C::chkUseFileDates));
  for (C box :
       {C::chkCacheImage, C::chkFinalizeDisc, C::chkTestWrite, C::chkAutoVerify, C::chkUseMode2XA, C::chkDiscAtOnce}) {
    EXPECT_FALSE(view_.Checked(box));
  }
  EXPECT_EQ(view_.Text(C::txtVolIdentifier), "Outlook Express Data Backup CD");
  ASSERT_EQ(view_.nodes.size(), 1u);
  EXPECT_EQ(view_.nodes["\\"].text, "Outlook Express Data Backup CD");
  EXPECT_EQ(view_.nodes["\\"].icon, "CD");
  EXPECT_TRUE(view_.Enabled(C::cmdWriteDisc));
  EXPECT_FALSE(view_.Enabled(C::cmdCancel));
  EXPECT_EQ(view_.Panel(1), "Data Image Size: 1.50 MB");
  EXPECT_EQ(view_.Panel(2), "Files: 0");
  EXPECT_EQ(view_.Panel(3), "Folders: 0");
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(logic_->CanClose());
}

TEST_F(WriterLogicTest, ADriveWithoutSpeedsOffersMaxAndOneWithoutProtectionClearsTheBox) {
  engine_.AddDevice("Plain");
  Open();
  ASSERT_EQ(view_.ListCount(C::cboWriteSpeed), 1);
  EXPECT_EQ(view_.ListItem(C::cboWriteSpeed, 0), "MAX");
  EXPECT_EQ(view_.ListData(C::cboWriteSpeed, 0), 0);
  EXPECT_FALSE(view_.Checked(C::chkUseBufferProtect));
  EXPECT_FALSE(view_.Enabled(C::chkUseBufferProtect));
}

TEST_F(WriterLogicTest, NoEngineEndsTheProgramAndNoDriveLeavesTheWindowOpen) {
  engine_.initializes = false;
  Open();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text, "Devices Cannot be initialized...Contact support!");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::None);
  EXPECT_EQ(view_.endings, 1);

  engine_.initializes = true;
  messages_.shown.clear();
  Open();
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "There are no compatible devices reported.\r\nSome older devices are not currently supported.");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(messages_.shown[0].title, "Quarnel Backup");
  logic_->Run(WriterCommand::WriteDisc);
  logic_->Run(WriterCommand::Eject);
  EXPECT_EQ(engine_.starts, 0);
  EXPECT_EQ(messages_.shown.size(), 1u);
}

TEST_F(WriterLogicTest, TheHandOverPutsExactlyTheBackupFileInTheRootAndIsEmptied) {
  engine_.AddDevice("Burner");
  handOver_ = {"quarnel-Main-12-05-2026.soe", File("backup file.soe", 1536000)};
  Open();
  EXPECT_EQ(engine_.tree.FileCount(), 1);
  EXPECT_EQ(engine_.tree.FolderCount(), 0);
  ImageNode* node = engine_.tree.Find("\\quarnel-Main-12-05-2026.soe");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->source, testing::Join(dir_.path(), "backup file.soe"));
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].key, "\\quarnel-Main-12-05-2026.soe");
  EXPECT_EQ(view_.rows[0].size, "1,536.00 KB");
  EXPECT_EQ(view_.rows[0].icon, "FILE");
  EXPECT_EQ(view_.Panel(2), "Files: 1");
  EXPECT_TRUE(handOver_.fileName.empty());
  EXPECT_TRUE(handOver_.path.empty());

  // A later opening from the menu starts empty.
  Open();
  EXPECT_EQ(engine_.tree.FileCount(), 0);
  EXPECT_TRUE(view_.rows.empty());
}

TEST_F(WriterLogicTest, DropsAddFoldersAndFilesUnderTheSelectedFolder) {
  engine_.AddDevice("Burner");
  Open();
  std::string folder = testing::Join(dir_.path(), "Mail");
  testing::MakeFolder(folder);
  testing::MakePatternFile(testing::Join(folder, "Inbox.dbx"), 5, 1);
  std::string file = File("notes.txt");
  logic_->Dropped(false, {folder});
  EXPECT_EQ(engine_.tree.FolderCount(), 0);

  view_.selectedNode = "\\";
  logic_->Dropped(true, {folder, file});
  EXPECT_NE(engine_.tree.Find("\\Mail\\Inbox.dbx"), nullptr);
  EXPECT_NE(engine_.tree.Find("\\notes.txt"), nullptr);
  ASSERT_TRUE(view_.nodes.count("\\Mail"));
  EXPECT_EQ(view_.nodes["\\Mail"].parent, "\\");
  EXPECT_EQ(view_.nodes["\\Mail"].icon, "CLOSEDFOLDER");
  EXPECT_EQ(view_.nodes["\\Mail"].selectedIcon, "OPENFOLDER");
  EXPECT_EQ(view_.Panel(1), "Data Image Size: 1.50 MB");  // the summary after "Adding....\Mail"

  view_.selectedNode = "\\Mail";
  logic_->Dropped(true, {folder});
  EXPECT_NE(engine_.tree.Find("\\Mail\\Mail\\Inbox.dbx"), nullptr);
  EXPECT_EQ(view_.nodes["\\Mail\\Mail"].parent, "\\Mail");
  ASSERT_EQ(view_.rows.size(), 1u);  // the list shows the selected folder's files, not its folders
  EXPECT_EQ(view_.rows[0].key, "\\Mail\\Inbox.dbx");
  EXPECT_GT(view_.pumps, 0);
}

TEST_F(WriterLogicTest, FileMenuRemovesRenamesAndReportsWhatCannotBeDone) {
  engine_.AddDevice("Burner");
  Open();
  struct Case {
    WriterCommand command;
    std::optional<std::string> node, row;
    std::string message;
  };
  const Case cases[] = {
      {WriterCommand::RemoveFolder, std::nullopt, std::nullopt, "No Item Selected."},
      {WriterCommand::RemoveFile, std::nullopt, std::nullopt, "No Item Selected."},
      {WriterCommand::RenameFolder, std::nullopt, std::nullopt, "No Item Selected."},
      {WriterCommand::RenameFile, std::nullopt, std::nullopt, "No Item Selected."},
      {WriterCommand::RemoveFolder, "\\", std::nullopt, "Item could not be removed."},
      {WriterCommand::RemoveFile, std::nullopt, "\\gone.txt", "Item could not be removed."},
  };
  for (const Case& c : cases) {
    messages_.shown.clear();
    view_.selectedNode = c.node;
    view_.selectedRow = c.row;
    logic_->Run(c.command);
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text, c.message);
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Information);
  }

  std::string folder = testing::Join(dir_.path(), "Mail");
  testing::MakeFolder(folder);
  testing::MakeFolder(testing::Join(folder, "Sub"));
  view_.selectedNode = "\\";
  logic_->Dropped(true, {folder, File("a.txt")});
  messages_.shown.clear();
  EXPECT_FALSE(logic_->BeforeTreeLabelEdit());
  EXPECT_EQ(LastMessage(), "Root directory can not be renamed.");

  view_.selectedNode = "\\Mail";
  logic_->Run(WriterCommand::RenameFolder);
  ASSERT_EQ(view_.edits.size(), 1u);
  EXPECT_EQ(view_.edits[0].second, "\\Mail");
  EXPECT_TRUE(logic_->BeforeTreeLabelEdit());
  EXPECT_TRUE(logic_->TreeLabelEdited("Post"));
  EXPECT_TRUE(view_.nodes.count("\\Post"));
  EXPECT_TRUE(view_.nodes.count("\\Post\\Sub"));  // folders below follow their parent
  view_.selectedNode = "\\Post";
  EXPECT_FALSE(logic_->TreeLabelEdited("bad:name"));
  EXPECT_EQ(LastMessage(), "Folder could not be renamed.");

  view_.selectedNode = "\\";
  view_.selectedRow = "\\a.txt";
  EXPECT_FALSE(logic_->ListLabelEdited("Post"));  // taken by the folder
  EXPECT_EQ(LastMessage(), "File could not be renamed.");
  EXPECT_TRUE(logic_->ListLabelEdited("b.txt"));
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0].key, "\\b.txt");

  view_.selectedNode = "\\Post";
  logic_->Run(WriterCommand::RemoveFolder);
  EXPECT_FALSE(view_.nodes.count("\\Post"));
  EXPECT_EQ(view_.Panel(3), "Folders: 0");
  logic_->Run(WriterCommand::ClearAll);
  EXPECT_EQ(engine_.tree.FileCount(), 0);
  EXPECT_EQ(view_.nodes.size(), 1u);
  EXPECT_EQ(view_.Text(C::txtVolIdentifier), "New Disc");
  EXPECT_EQ(engine_.settings.VolumeIdentifier, "New Disc");
}

TEST_F(WriterLogicTest, PopUpMenusShowOnlyTheirViewsEntriesThenAllAgain) {
  engine_.AddDevice("Burner");
  Open();
  using E = FileMenuEntry;
  logic_->ContextMenu(ImageView::List);
  logic_->ContextMenu(ImageView::Tree);
  ASSERT_EQ(view_.popups.size(), 2u);
  EXPECT_EQ(view_.popups[0], (std::set<E>{E::Sep1, E::RemoveFolder, E::RenameFolder, E::Sep4, E::Exit}));
  EXPECT_EQ(view_.popups[1], (std::set<E>{E::Sep1, E::RemoveFile, E::RenameFile, E::Sep4, E::Exit}));
  EXPECT_TRUE(view_.hiddenEntries.empty());
}

TEST_F(WriterLogicTest, ReplaceQueryAsksAndRepliesWithTheAnswer) {
  engine_.AddDevice("Burner");
  Open();
  std::string first = File("one.txt"), second = File("two.txt");
  engine_.tree.AddFile(first, "\\same.txt");
  for (MessageResult answer : {MessageResult::Cancel, MessageResult::Ok}) {
    messages_.shown.clear();
    messages_.answers = {answer};
    engine_.tree.AddFile(second, "\\same.txt");
    ASSERT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(messages_.shown[0].text,
              "A file already exists in the image: \r\n\\same.txt\r\nWould you like to "
              "replace it with: \r\n" +
                  second + " ?");
    EXPECT_EQ(messages_.shown[0].title, "Replace file...");
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(engine_.tree.Find("\\same.txt")->source, answer == MessageResult::Ok ? second : first);
  }
}

TEST_F(WriterLogicTest, WriteChecksTheDiscHandsOverTheSettingsAndStarts) {
  testing::FakeDevice& drive = engine_.AddDevice("Burner");
  drive.speeds = {{1764, 10.0}, {4234, 24.0}};
  Open();
  drive.media = {kMediaNone, false, false};
  logic_->Run(WriterCommand::WriteDisc);
  EXPECT_EQ(LastMessage(), "Please Insert Writable Media before continuing!");
  drive.media = {kMediaCdR, false, false};
  logic_->Run(WriterCommand::WriteDisc);
  EXPECT_EQ(LastMessage(), "Please Insert Writable Media before continuing!");

  drive.media = {kMediaCdR, true, false};
  drive.freeBlocks = 734003200.0 / 2048;
  engine_.imageSize = 838860800;
  messages_.shown.clear();
  logic_->Run(WriterCommand::WriteDisc);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].text,
            "Free Space on the loaded disc is 700.00 MB!\r\nThis data image requires 800.00 MB of Free Space!");
  EXPECT_EQ(messages_.shown[0].icon, MessageIcon::Information);
  EXPECT_EQ(engine_.starts, 0);
  EXPECT_TRUE(logic_->Idle());

  engine_.imageSize = 734003200;  // exactly the free space
  view_.SetText(C::txtVolIdentifier, "Mail 2026");
  view_.SetListIndex(C::cboWriteSpeed, 1);
  view_.SetListIndex(C::cboVolumeType, 2);
  for (C box : {C::chkAutoVerify, C::chkTestWrite, C::chkDiscAtOnce}) view_.SetChecked(box, true);
  engine_.startResult = false;
  messages_.shown.clear();
  logic_->Run(WriterCommand::WriteDisc);
  EXPECT_EQ(LastMessage(), "Disc Write could not be started.");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Critical);
  EXPECT_TRUE(logic_->Idle());
  EXPECT_EQ(engine_.settings.VolumeIdentifier, "Mail 2026");
  EXPECT_EQ(engine_.settings.WriteOption, 1);
  EXPECT_EQ(engine_.settings.WriteSpeed, 4234);
  EXPECT_EQ(engine_.settings.FileSystem, 3);
  EXPECT_TRUE(engine_.settings.AutoVerify);
  EXPECT_TRUE(engine_.settings.TestWrite);
  EXPECT_FALSE(engine_.settings.FinalizeDisc);
  EXPECT_FALSE(engine_.settings.Mode2XA);
  EXPECT_FALSE(engine_.settings.CacheImage);
  EXPECT_EQ(engine_.settings.WriteMode, 248);
  EXPECT_EQ(drive.refreshes.back(), true);

  engine_.startResult = true;
  view_.SetChecked(C::chkDiscAtOnce, false);
  StartWrite();
  EXPECT_EQ(engine_.settings.WriteMode, 2);
  EXPECT_FALSE(logic_->CanClose());
  EXPECT_TRUE(view_.Enabled(C::cmdCancel));
  for (C c : {C::cmdWriteDisc, C::cboDevices, C::txtVolIdentifier, C::mnuFile, C::mnuDevice, C::tvwFolders,
              C::chkUseBufferProtect}) {
    EXPECT_FALSE(view_.Enabled(c));
  }
  logic_->Run(WriterCommand::Cancel);
  EXPECT_EQ(engine_.cancels, 1);
  EXPECT_EQ(view_.Panel(1), "Aborting Write...Please Wait!");
}

TEST_F(WriterLogicTest, TheImageFileDriveAsksWhereFirstAndCancellingKeepsTheWindowIdle) {
  testing::FakeDevice& drive = engine_.AddDevice("Disc Image File (.iso)");
  drive.imageFile = true;
  handOver_ = {"backup.soe", File("backup.soe")};
  Open();
  view_.SetText(C::txtVolIdentifier, "Mail: 2026?");
  logic_->Run(WriterCommand::WriteDisc);
  ASSERT_EQ(view_.dialogs.size(), 1u);
  EXPECT_EQ(view_.dialogs[0].initialFolder, dir_.path());
  EXPECT_EQ(view_.dialogs[0].fileName, "Mail_ 2026_.iso");
  EXPECT_EQ(view_.dialogs[0].defaultExtension, "iso");
  EXPECT_EQ(engine_.starts, 0);
  EXPECT_TRUE(logic_->Idle());
  EXPECT_TRUE(drive.refreshes.size() == 1);  // no media check either

  view_.dialogAnswer = testing::Join(dir_.path(), "out.iso");
  StartWrite();
  EXPECT_EQ(drive.imagePath, *view_.dialogAnswer);
}

TEST_F(WriterLogicTest, WriteStatusesSetThePanelProgressAndEndTheWrite) {
  engine_.AddDevice("Burner");
  Open();
  struct Case {
    int status;
    std::string panel;
  };
  const Case panels[] = {{0, "Preparing Image...."},
                         {4, "Closing Track...."},
                         {5, "Writing Lead-in...."},
                         {6, "Writing Lead-out...."},
                         {8, "Updating Volume...."}};
  StartWrite();
  for (const Case& c : panels) {
    view_.SetPanel(1, "before");
    logic_->WriteStatus(50, c.status);
    EXPECT_EQ(view_.Panel(1), c.panel) << c.status;
  }
  for (int status : {1, 2, 3, 7, 12}) {
    view_.SetPanel(1, "before");
    view_.progress = -1;
    logic_->WriteStatus(40 + status, status);
    EXPECT_EQ(view_.Panel(1), "before") << status;
    EXPECT_EQ(view_.progress, status <= 3 ? 40 + status : -1) << status;
  }
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_FALSE(logic_->Idle());

  struct End {
    int status;
    bool autoVerify;
    std::string panel, message;
    MessageIcon icon;
  };
  const End ends[] = {
      {9, false, "Write Completed!", "Write Complete!", MessageIcon::Information},
      {9, true, "Write Completed!", "Write and Verify Complete!", MessageIcon::Information},
      {10, false, "Write Cancelled....", "Write Cancelled!", MessageIcon::Information},
      {11, false, "Write Error!", "", MessageIcon::None},
  };
  for (const End& e : ends) {
    view_.SetChecked(C::chkAutoVerify, e.autoVerify);
    StartWrite();
    logic_->WriteStatus(100, e.status);
    EXPECT_EQ(view_.Panel(1), e.panel);
    EXPECT_EQ(LastMessage(), e.message) << e.status;
    if (!e.message.empty()) {
      EXPECT_EQ(messages_.shown.back().icon, e.icon);
    }
    EXPECT_TRUE(logic_->Idle());
    EXPECT_FALSE(view_.Enabled(C::cmdCancel));
    EXPECT_TRUE(view_.Enabled(C::cmdWriteDisc));
  }
}

TEST_F(WriterLogicTest, AVerificationWithMismatchesDoesNotEndInSuccess) {
  engine_.AddDevice("Burner");
  Open();
  view_.SetChecked(C::chkAutoVerify, true);
  StartWrite();
  logic_->VerifyStarted(8);
  EXPECT_EQ(view_.Panel(1), "Auto-Verify... 8 new files.");
  ImageItem item;
  item.ImagePath = "\\Mail\\Inbox.dbx";
  item.SourcePath = "C:\\Backups\\Inbox.dbx";
  const std::pair<int, const char*> statuses[] = {
      {0, "Verify Error - Could not read Source file from disc: "},
      {1, "Verify Error - Could not read Destination file from disc: "},
      {2, "Verify Error - Source and Destination file did not match: "},
      {3, nullptr},
      {4, nullptr},
      {5, "Verify Error - Size of Source and Destination file did not match: "},
      {6, nullptr},
  };
  int done = 0;
  for (auto [status, heading] : statuses) {
    messages_.shown.clear();
    logic_->VerifyFile(item, status, ++done, 8);
    if (heading) {
      ASSERT_EQ(messages_.shown.size(), 1u) << status;
      EXPECT_EQ(messages_.shown[0].text,
                std::string(heading) + "\r\n\\Mail\\Inbox.dbx (disc)\r\nC:\\Backups\\Inbox.dbx (source)");
      EXPECT_EQ(messages_.shown[0].icon, MessageIcon::None);
    } else {
      EXPECT_TRUE(messages_.shown.empty()) << status;
    }
    EXPECT_EQ(view_.Panel(1), "Auto-Verify... \\Mail\\Inbox.dbx");
  }
  // Halves go to the even neighbour: 1/8 is 12.5 -> 12, 3/8 is 37.5 -> 38.
  logic_->VerifyFile(item, 3, 1, 8);
  EXPECT_EQ(view_.progress, 12);
  logic_->VerifyFile(item, 3, 3, 8);
  EXPECT_EQ(view_.progress, 38);
  logic_->VerifyFile(item, 3, 0, 0);
  EXPECT_EQ(view_.progress, 38);

  logic_->VerifyDone(8, 5);
  EXPECT_EQ(view_.Panel(1), "Auto-Verify...Complete (5 of 8 MATCHED)");
  logic_->WriteStatus(100, 9);
  EXPECT_EQ(LastMessage(), "Write Complete, but Verify failed!\r\n5 of 8 files matched.");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Critical);
  EXPECT_EQ(view_.Panel(1), "Write Completed!");

  // The next write starts with a clean slate.
  StartWrite();
  logic_->VerifyDone(3, 3);
  logic_->WriteStatus(100, 9);
  EXPECT_EQ(LastMessage(), "Write and Verify Complete!");
}

TEST_F(WriterLogicTest, EngineErrorsTrackReadingAndFileWarnings) {
  engine_.AddDevice("Burner");
  Open();
  EngineErrorInfo device;
  device.Category = 1;
  device.DeviceDetail = {5, "Medium error", "Sense 3", "Write failed"};
  EngineErrorInfo output;
  output.Category = 2;
  output.FileDetail = {28, "Disk full", "D:\\disc.iso"};
  EngineErrorInfo source = output;
  source.Category = 3;
  EngineErrorInfo system;
  system.Category = 5;
  system.SystemCode = 1117;
  system.Text = "I/O error";
  EngineErrorInfo write;
  write.Category = 4;
  write.Text = "The drive stopped writing";
  const std::pair<EngineErrorInfo, std::string> cases[] = {
      {device, "Device Error: (5)   Medium error\r\nSense 3 - Write failed"},
      {output, "Output File Error: (28)   Disk full\r\n'D:\\disc.iso'"},
      {source, "Source File Error: (28)   Disk full\r\n'D:\\disc.iso'"},
      {system, "System Error: (1117)   I/O error"},
      {write, "Write Error: (4)   The drive stopped writing"},
  };
  for (const auto& [error, text] : cases) {
    logic_->EngineError(error);
    EXPECT_EQ(LastMessage(), text);
    EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Critical);
  }

  logic_->TrackReading(3, 45, "a.soe");
  EXPECT_EQ(view_.Panel(1), "Track: 03 - Reading...45 - a.soe");

  for (MessageResult answer : {MessageResult::Ok, MessageResult::Cancel}) {
    messages_.answers = {answer};
    bool reply = logic_->FileWarning(FileError{2, "Missing", "C:\\a.soe"});
    EXPECT_EQ(reply, answer == MessageResult::Ok);
    EXPECT_EQ(LastMessage(), "File Warning(2):C:\\a.soe\r\nMissing");
    EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages_.shown.back().buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(view_.Panel(1), "File Warning!");
  }
}

TEST_F(WriterLogicTest, DeviceMenuAndClosing) {
  testing::FakeDevice& drive = engine_.AddDevice("Burner");
  Open();
  logic_->Run(WriterCommand::Eject);
  logic_->Run(WriterCommand::CloseTray);
  logic_->Run(WriterCommand::EraseDisc);
  EXPECT_EQ(drive.calls, (std::vector<std::string>{"Eject", "CloseTray"}));
  EXPECT_EQ(view_.erases, 1);
  view_.SetChecked(C::chkUseFileDates, false);
  logic_->UseFileDatesChanged();
  EXPECT_FALSE(engine_.settings.UseFileDates);
  view_.SetText(C::txtVolIdentifier, "Other");
  logic_->VolumeIdChanged();
  EXPECT_EQ(view_.nodes["\\"].text, "Other");
  logic_->Run(WriterCommand::Exit);
  EXPECT_EQ(view_.closes, 1);
  logic_->Closing();
  engine_.hub.ItemAdded(ImageItem{true, "\\", "\\X", "", "X", "", 0, {}});
  EXPECT_FALSE(view_.nodes.count("\\X"));  // no longer listening
}

TEST(DiscTextTest, SizesDatesAndSpeeds) {
  EXPECT_EQ(SizeText(1572864), "1.50 MB");
  EXPECT_EQ(SizeText(0), "0.00 MB");
  EXPECT_EQ(SizeText(5368709120.0 * 2), "10240.00 MB");
  EXPECT_EQ(KilobyteText(1536000), "1,536.00 KB");
  EXPECT_EQ(KilobyteText(999), "1.00 KB");
  EXPECT_EQ(KilobyteText(0), "0.00 KB");
  EXPECT_EQ(KilobyteText(1234567890), "1,234,567.89 KB");
  EXPECT_EQ(DateText({2026, 3, 7, 0, 5, 9}), "03/07/2026 12:05:09 AM");
  EXPECT_EQ(DateText({2026, 12, 31, 13, 0, 0}), "12/31/2026 01:00:00 PM");
  EXPECT_EQ(DateText({2026, 12, 31, 12, 30, 0}), "12/31/2026 12:30:00 PM");
  EXPECT_EQ(SpeedText(8), "8.0x");
  EXPECT_EQ(SpeedText(0.5), ".5x");
  EXPECT_EQ(SpeedText(2.4), "2.4x");
  EXPECT_EQ(ImageFileName("  "), "Disc Image.iso");
}

}  // namespace
}  // namespace quarnel::disc
