// frmMaindvdwrite's and frmErase's logic over fake windows and a fake engine (with a real
// image tree).
#include <gtest/gtest.h>

#include "DiscTestSupport.h"
#include "FakeDisc.h"
#include "discwriter/DiscText.h"
#include "discwriter/EraseLogic.h"
#include "discwriter/WriterLogic.h"
#include "support/RecordedSeams.h"

namespace quarnel::disc {
namespace {

using platform::MessageIcon;
using platform::MessageResult;
using C = WriterControl;

class WriterLogicTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  // A drive named "Burner" unless the test made its own.
  void Open() {
    if (engine_.devices.empty()) engine_.AddDevice("Burner");
    logic_ = std::make_unique<WriterLogic>(view_, engine_, handOver_);
    logic_->Load();
  }
  std::string File(const std::string& name, std::uint64_t size = 10) {
    testing::MakePatternFile(dir.File(name), size, 1);
    return dir.File(name);
  }
  void StartWrite() {
    logic_->Run(WriterCommand::WriteDisc);
    ASSERT_FALSE(logic_->Idle());
  }

  testing::FakeWriterView view_;
  testing::FakeEngine engine_;
  app::DiscHandOver handOver_;
  std::unique_ptr<WriterLogic> logic_;
};

TEST_F(WriterLogicTest, OpeningListsTheSupportedDrivesWithTheirSpeedsAndStartsWithTheBridgeAndAnEmptyImage) {
  engine_.AddDevice("Old Drive").supported = false;
  testing::FakeDevice& burner = engine_.AddDevice("Burner");
  burner.speeds = {{1764, 10.0}, {4234, 24.0}, {44, 0.5}};
  burner.capabilities = {kCapBufferProtect};
  engine_.AddDevice("Plain");
  Open();
  using Items = std::vector<std::pair<std::string, long>>;
  EXPECT_EQ(view_.controls[C::cboDevices].items, (Items{{"Burner", 1}, {"Plain", 2}}));  // the drives' own indexes
  EXPECT_EQ(view_.ListIndex(C::cboDevices), 0);
  EXPECT_EQ(view_.controls[C::cboWriteSpeed].items, (Items{{"10.0x", 1764}, {"24.0x", 4234}, {".5x", 44}}));
  EXPECT_EQ(view_.ListIndex(C::cboWriteSpeed), 0);
  EXPECT_TRUE(view_.Checked(C::chkUseBufferProtect) && view_.Enabled(C::chkUseBufferProtect));
  EXPECT_EQ(view_.ListIndex(C::cboVolumeType), 4);
  EXPECT_TRUE(engine_.settings.UseFileDates && view_.Checked(C::chkUseFileDates));
  for (C box : {C::chkCacheImage, C::chkFinalizeDisc, C::chkTestWrite, C::chkAutoVerify, C::chkDiscAtOnce}) {
    EXPECT_FALSE(view_.Checked(box));
  }
  EXPECT_EQ(view_.Text(C::txtVolIdentifier), "Outlook Express Data Backup CD");
  EXPECT_TRUE(view_.Enabled(C::cmdWriteDisc));
  EXPECT_FALSE(view_.Enabled(C::cmdCancel));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(logic_->CanClose());

  // A drive without speeds offers "MAX"; one without buffer protection clears the box.
  view_.SetListIndex(C::cboDevices, 1);
  logic_->DeviceChosen();
  EXPECT_EQ(view_.controls[C::cboWriteSpeed].items, (Items{{"MAX", 0}}));
  EXPECT_FALSE(view_.Checked(C::chkUseBufferProtect) || view_.Enabled(C::chkUseBufferProtect));
}

TEST_F(WriterLogicTest, TheHandOverPutsExactlyTheBackupFileInTheRootOnce) {
  handOver_ = {"quarnel-Main-12-05-2026.soe", File("backup file.soe", 1536000)};
  Open();
  EXPECT_EQ(engine_.tree.FileCount() + engine_.tree.FolderCount(), 1);
  ASSERT_NE(engine_.tree.Find("\\quarnel-Main-12-05-2026.soe"), nullptr);
  EXPECT_EQ(engine_.tree.Find("\\quarnel-Main-12-05-2026.soe")->source, dir.File("backup file.soe"));
  EXPECT_TRUE(handOver_.fileName.empty() && handOver_.path.empty());
  Open();  // a later opening from the menu starts empty
  EXPECT_EQ(engine_.tree.FileCount(), 0);
}

TEST_F(WriterLogicTest, DropsAndTheFileMenuEditTheImageUnderTheSelectedFolder) {
  Open();
  const std::string folder = dir.File("Mail");
  testing::MakeFolder(folder);
  testing::MakeFolder(testing::Join(folder, "Gel\xF6schte Objekte"));
  testing::MakePatternFile(testing::Join(folder, "Old;2005.dbx"), 5, 1);
  logic_->Dropped(false, {folder});  // not a list of files
  EXPECT_EQ(engine_.tree.FolderCount(), 0);
  view_.selectedNode = "\\";
  logic_->Dropped(true, {folder, File("a;b;c.txt")});
  EXPECT_EQ(view_.nodes["\\Mail\\Gel\xF6schte Objekte"].first, "\\Mail");
  view_.selectedNode = "\\Mail";
  logic_->Dropped(true, {folder});
  EXPECT_NE(engine_.tree.Find("\\Mail\\Mail\\Old;2005.dbx"), nullptr);
  // The list shows the selected folder's files only.
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0][0], "\\Mail\\Old;2005.dbx");

  const struct {
    WriterCommand command;
    std::optional<std::string> node, row;
    const char* message;
  } refusals[] = {
      {WriterCommand::RemoveFolder, std::nullopt, std::nullopt, "No Item Selected."},
      {WriterCommand::RenameFile, std::nullopt, std::nullopt, "No Item Selected."},
      {WriterCommand::RemoveFolder, "\\", std::nullopt, "Item could not be removed."},
      {WriterCommand::RemoveFile, std::nullopt, "\\gone.txt", "Item could not be removed."},
  };
  for (const auto& r : refusals) {
    view_.selectedNode = r.node;
    view_.selectedRow = r.row;
    logic_->Run(r.command);
    ExpectOneMessage(r.message, MessageIcon::Information);
  }
  EXPECT_TRUE(view_.edits.empty());

  view_.selectedNode = "\\";
  EXPECT_FALSE(logic_->BeforeTreeLabelEdit());
  ExpectOneMessage("Root directory can not be renamed.", MessageIcon::Information);
  view_.selectedNode = "\\Mail";
  logic_->Run(WriterCommand::RenameFolder);
  EXPECT_EQ(view_.edits, std::vector<std::string>{"\\Mail"});
  EXPECT_TRUE(logic_->BeforeTreeLabelEdit());
  EXPECT_TRUE(logic_->TreeLabelEdited("Post 2005"));
  EXPECT_TRUE(view_.nodes.count("\\Post 2005\\Gel\xF6schte Objekte"));  // folders below follow their parent
  EXPECT_FALSE(logic_->TreeLabelEdited(std::nullopt));                  // the edit abandoned
  view_.selectedNode = "\\";
  view_.selectedRow = "\\a;b;c.txt";
  EXPECT_FALSE(logic_->ListLabelEdited("post 2005"));  // taken by the folder
  ExpectOneMessage("File could not be renamed.", MessageIcon::Information);
  EXPECT_TRUE(logic_->ListLabelEdited("b.txt"));
  ASSERT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[0][0], "\\b.txt");

  view_.selectedNode = "\\Post 2005";
  logic_->Run(WriterCommand::RemoveFolder);
  EXPECT_FALSE(view_.nodes.count("\\Post 2005"));
  logic_->Run(WriterCommand::ClearAll);
  EXPECT_EQ(engine_.tree.FileCount() + engine_.tree.FolderCount(), 0);
  EXPECT_EQ(view_.nodes.size(), 1u);
  EXPECT_EQ(engine_.settings.VolumeIdentifier, "New Disc");
  EXPECT_EQ(view_.Text(C::txtVolIdentifier), "New Disc");
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WriterLogicTest, ATakenImagePathAsksAndOnlyOkReplaces) {
  Open();
  const std::string first = File("one.txt"), second = File("two.txt");
  engine_.tree.AddFile(first, "\\same.txt");
  for (MessageResult answer : {MessageResult::Cancel, MessageResult::Ok}) {
    messages.answers = {answer};
    engine_.tree.AddFile(second, "\\SAME.txt");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "A file already exists in the image: \r\n\\same.txt\r\nWould you like to "
              "replace it with: \r\n" +
                  second + " ?");
    EXPECT_EQ(messages.shown[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(engine_.tree.Find("\\same.txt")->source, answer == MessageResult::Ok ? second : first);
    messages.shown.clear();
  }
}

TEST_F(WriterLogicTest, WriteChecksTheDiscHandsOverTheSettingsAndStarts) {
  testing::FakeDevice& drive = engine_.AddDevice("Burner");
  drive.speeds = {{1764, 10.0}, {4234, 24.0}};
  Open();
  for (MediaInfo media : {MediaInfo{kMediaNone, false, false}, MediaInfo{kMediaCdR, false, false}}) {
    drive.media = media;
    logic_->Run(WriterCommand::WriteDisc);
    ExpectOneMessage("Please Insert Writable Media before continuing!", MessageIcon::Information);
  }
  drive.media = {kMediaCdR, true, false};
  drive.freeBlocks = 734003200.0 / 2048;
  engine_.imageSize = 734003200 + 1;
  logic_->Run(WriterCommand::WriteDisc);
  ExpectOneMessage("Free Space on the loaded disc is 700.00 MB!\r\nThis data image requires 700.00 MB of Free Space!",
                   MessageIcon::Information);
  EXPECT_EQ(engine_.starts, 0);

  engine_.imageSize = 734003200;  // exactly the free space
  view_.SetText(C::txtVolIdentifier, "Mail 2026");
  view_.SetListIndex(C::cboWriteSpeed, 1);
  view_.SetListIndex(C::cboVolumeType, 2);
  for (C box : {C::chkAutoVerify, C::chkTestWrite, C::chkDiscAtOnce}) view_.SetChecked(box, true);
  engine_.startResult = false;
  logic_->Run(WriterCommand::WriteDisc);
  ExpectOneMessage("Disc Write could not be started.", MessageIcon::Critical);
  EXPECT_TRUE(logic_->Idle());
  const WriterSettings& s = engine_.settings;
  EXPECT_EQ(s.VolumeIdentifier, "Mail 2026");
  EXPECT_EQ(s.WriteSpeed, 4234);
  EXPECT_EQ(s.FileSystem, kFsIsoJoliet);
  EXPECT_TRUE(s.AutoVerify && s.TestWrite);
  EXPECT_FALSE(s.FinalizeDisc || s.Mode2XA || s.CacheImage);
  EXPECT_EQ(s.WriteMode, kWriteModeDiscAtOnce);
  EXPECT_EQ(drive.refreshes.back(), true);  // the media read for writing

  engine_.startResult = true;
  view_.SetChecked(C::chkDiscAtOnce, false);
  StartWrite();
  EXPECT_EQ(s.WriteMode, kWriteModeTrackAtOnce);
  EXPECT_FALSE(logic_->CanClose());
  EXPECT_TRUE(view_.Enabled(C::cmdCancel));
  for (C c : {C::cmdWriteDisc, C::cboDevices, C::mnuFile, C::tvwFolders, C::chkUseBufferProtect}) {
    EXPECT_FALSE(view_.Enabled(c));
  }
  logic_->Run(WriterCommand::Cancel);
  EXPECT_EQ(engine_.cancels, 1);
}

TEST_F(WriterLogicTest, TheImageFileDriveAsksWhereFirstAndCancellingKeepsTheWindowIdle) {
  testing::FakeDevice& drive = engine_.AddDevice("Disc Image File (.iso)");
  drive.imageFile = true;
  handOver_ = {"backup.soe", File("backup.soe")};
  Open();
  view_.SetText(C::txtVolIdentifier, "Mail: 2026?");
  logic_->Run(WriterCommand::WriteDisc);
  ASSERT_EQ(view_.dialogs.size(), 1u);
  EXPECT_EQ(view_.dialogs[0].initialFolder, dir.path());  // where the backup file is
  EXPECT_EQ(view_.dialogs[0].fileName, "Mail_ 2026_.iso");
  EXPECT_EQ(engine_.starts, 0);
  EXPECT_EQ(drive.refreshes.size(), 1u);  // no media check either
  view_.dialogAnswer = dir.File("out.iso");
  StartWrite();
  EXPECT_EQ(drive.imagePath, dir.File("out.iso"));
}

TEST_F(WriterLogicTest, OnlyTheLastStatusesEndTheWriteEachWithItsMessage) {
  Open();
  StartWrite();
  for (int status : std::initializer_list<int>{kWritePreparing, kWriteWriting, kWriteVerifying, kWriteClosingTrack,
                                               kWriteSyncing, 12}) {
    logic_->WriteStatus(40 + status, status);
  }
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_FALSE(logic_->Idle());

  const struct {
    int status;
    bool autoVerify;
    const char* message;
    MessageIcon icon;
  } ends[] = {
      {kWriteDone, false, "Write Complete!", MessageIcon::Information},
      {kWriteDone, true, "Write and Verify Complete!", MessageIcon::Information},
      {kWriteCancelled, false, "Write Cancelled!", MessageIcon::Information},
      {kWriteFailed, false, nullptr, MessageIcon::None},
  };
  for (const auto& e : ends) {
    view_.SetChecked(C::chkAutoVerify, e.autoVerify);
    StartWrite();
    logic_->WriteStatus(100, e.status);
    if (e.message) {
      ExpectOneMessage(e.message, e.icon);
    } else {
      EXPECT_TRUE(messages.shown.empty());
    }
    EXPECT_TRUE(logic_->Idle() && view_.Enabled(C::cmdWriteDisc));
    EXPECT_FALSE(view_.Enabled(C::cmdCancel));
  }
}

TEST_F(WriterLogicTest, AVerificationWithMismatchesDoesNotEndInSuccess) {
  Open();
  view_.SetChecked(C::chkAutoVerify, true);
  StartWrite();
  logic_->VerifyStarted(8);
  ImageItem item;
  item.ImagePath = "\\Mail\\Old;2005.dbx";
  item.SourcePath = "C:\\Backups\\Old;2005.dbx";
  const std::pair<int, const char*> statuses[] = {
      {kVerifySourceUnreadable, "Verify Error - Could not read Source file from disc: "},
      {kVerifyDiscUnreadable, "Verify Error - Could not read Destination file from disc: "},
      {kVerifyMismatch, "Verify Error - Source and Destination file did not match: "},
      {kVerifyMatched, nullptr},
      {kVerifySkipped, nullptr},
      {kVerifySizeMismatch, "Verify Error - Size of Source and Destination file did not match: "},
  };
  for (auto [status, heading] : statuses) {
    logic_->VerifyFile(item, status, 1, 8);
    if (heading) {
      ExpectOneMessage(std::string(heading) + "\r\n\\Mail\\Old;2005.dbx (disc)\r\nC:\\Backups\\Old;2005.dbx (source)",
                       MessageIcon::None);
    }
    EXPECT_TRUE(messages.shown.empty()) << status;
  }
  logic_->VerifyDone(8, 5);
  logic_->WriteStatus(100, kWriteDone);
  ExpectOneMessage("Write Complete, but Verify failed!\r\n5 of 8 files matched.", MessageIcon::Critical);

  StartWrite();  // the next write starts with a clean slate
  logic_->VerifyDone(3, 3);
  logic_->WriteStatus(100, kWriteDone);
  ExpectOneMessage("Write and Verify Complete!", MessageIcon::Information);
}

TEST_F(WriterLogicTest, EngineErrorsAndFileWarnings) {
  Open();
  auto error = [](int category, std::string text = "") {
    EngineErrorInfo e;
    e.Category = category;
    e.Text = std::move(text);
    e.DeviceDetail = {5, "Medium error", "Sense 3", "Write failed"};
    e.FileDetail = {28, "Disk full", "D:\\disc.iso"};
    e.SystemCode = 1117;
    return e;
  };
  const std::pair<EngineErrorInfo, std::string> cases[] = {
      {error(kErrorDevice), "Device Error: (5)   Medium error\r\nSense 3 - Write failed"},
      {error(kErrorOutputFile), "Output File Error: (28)   Disk full\r\n'D:\\disc.iso'"},
      {error(kErrorSystem, "I/O error"), "System Error: (1117)   I/O error"},
      {error(kErrorWrite, "The drive stopped writing"), "Write Error: (4)   The drive stopped writing"},
  };
  for (const auto& [info, text] : cases) {
    logic_->EngineError(info);
    ExpectOneMessage(text, MessageIcon::Critical);
  }
  for (MessageResult answer : {MessageResult::Ok, MessageResult::Cancel}) {
    messages.answers = {answer};
    EXPECT_EQ(logic_->FileWarning(FileError{2, "Missing", "C:\\a.soe"}), answer == MessageResult::Ok);
    EXPECT_EQ(messages.shown.back().buttons, platform::MessageButtons::OkCancel);
    ExpectOneMessage("File Warning(2):C:\\a.soe\r\nMissing", MessageIcon::Exclamation);
  }
}

TEST_F(WriterLogicTest, TheFileDatesOptionReachesTheWriterAndAClosedWindowHearsNoMore) {
  Open();
  view_.SetChecked(C::chkUseFileDates, false);
  logic_->UseFileDatesChanged();
  EXPECT_FALSE(engine_.settings.UseFileDates);
  logic_->Closing();
  engine_.hub.ItemAdded(ImageItem{true, "\\", "\\X", "", "X", "", 0, {}});
  EXPECT_FALSE(view_.nodes.count("\\X"));  // no longer listening
}

class EraseLogicTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  EraseLogicTest() : device_(engine_.AddDevice("Burner")), logic_(view_, device_, engine_) { logic_.Load(); }

  testing::FakeEngine engine_;
  testing::FakeDevice& device_;
  testing::FakeEraseView view_;
  EraseLogic logic_;
};

TEST_F(EraseLogicTest, ADiscIsErasedOnlyWhenTheDriveErasesItsKind) {
  EXPECT_TRUE(view_.Checked(EraseControl::chkQuikErase));
  const char* const kOtherFormat = "Selected drive does not support re-writable discs of this format.";
  const std::set<int> kAll = {kCapEraseCdRw, kCapEraseDvdMinusRw, kCapEraseDvdPlusRw, kCapEraseDvdRam, kCapEraseBdRe};
  const struct {
    MediaInfo media;
    std::set<int> capabilities;
    const char* message;  // none: the erase starts
  } cases[] = {
      {{kMediaCdRw, true, true}, {kCapEraseCdRw}, nullptr},
      {{kMediaDvdMinusRw, true, true}, {kCapEraseDvdMinusRw}, nullptr},
      {{kMediaDvdPlusRw, true, true}, {kCapEraseDvdPlusRw}, nullptr},
      {{kMediaDvdRam, true, true}, {kCapEraseDvdRam}, nullptr},
      {{kMediaBdRe, true, true}, {kCapEraseBdRe}, nullptr},
      {{kMediaDvdMinusRw, true, true}, {kCapEraseCdRw, kCapEraseDvdPlusRw}, kOtherFormat},
      {{kMediaOther, true, true}, kAll, kOtherFormat},  // a kind the table lacks
      {{kMediaNone, false, false}, kAll, "No Media Loaded."},
      {{kMediaCdR, true, false}, kAll, "The current media is not re-writable."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.media.MediaType);
    device_.media = c.media;
    device_.capabilities = c.capabilities;
    device_.calls.clear();
    view_.closes = 0;
    logic_.Erase();
    if (c.message) {
      ExpectOneMessage(c.message, MessageIcon::Information);
      EXPECT_TRUE(device_.calls.empty());
    } else {
      EXPECT_EQ(device_.calls, std::vector<std::string>{"StartErase 1 7"});  // quick, the drive's setting
      EXPECT_TRUE(messages.shown.empty());
    }
    EXPECT_EQ(view_.closes, c.message ? 1 : 0);
  }
  EXPECT_EQ(device_.refreshes.back(), false);

  view_.SetChecked(EraseControl::chkQuikErase, false);
  device_.media = {kMediaCdRw, true, true};
  device_.startErase = false;
  device_.calls.clear();
  view_.closes = 0;
  logic_.Erase();
  EXPECT_EQ(device_.calls, std::vector<std::string>{"StartErase 0 7"});
  ExpectOneMessage("Could not start Erase operation!!!", MessageIcon::Critical);
  logic_.CancelClicked();
  EXPECT_EQ(view_.closes, 2);
}

TEST_F(EraseLogicTest, StatusEventsDriveTheWindowAndItCannotCloseWhileBusy) {
  engine_.hub.EraseStatus(kEraseStarted, 3);
  engine_.hub.EraseStatus(kEraseProgress, 55);
  engine_.hub.EraseStatus(7, 99);  // no such status
  EXPECT_TRUE(logic_.Busy());
  EXPECT_FALSE(logic_.CanClose() || view_.Enabled(EraseControl::cmdErase) || view_.Enabled(EraseControl::cmdCancel));
  EXPECT_EQ(view_.progress, 55);

  engine_.hub.EraseError(DeviceError{3, "Medium error", "Sense 3", "Erase failed"});
  ExpectOneMessage("Device Error: (3)   Medium error\r\n(Erase failed) Sense 3", MessageIcon::Critical);
  EXPECT_TRUE(logic_.CanClose() && view_.Enabled(EraseControl::cmdErase));
  EXPECT_EQ(view_.closes, 0);

  for (auto [status, message] : {std::pair{kEraseDone, "Erase Completed!!!"}, std::pair{kEraseFailed, ""}}) {
    engine_.hub.EraseStatus(kEraseStarted, 0);
    engine_.hub.EraseStatus(status, 100);
    if (*message) ExpectOneMessage(message, MessageIcon::Information);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(logic_.CanClose());
  }
  EXPECT_EQ(view_.closes, 2);  // each end closes the window
  logic_.Closing();
  engine_.hub.EraseStatus(kEraseStarted, 0);
  EXPECT_FALSE(logic_.Busy());
}

TEST(DiscTextTest, SizesAndTwelveHourDates) {
  EXPECT_EQ(SizeText(5368709120.0 * 2), "10240.00 MB");
  EXPECT_EQ(KilobyteText(999), "1.00 KB");
  EXPECT_EQ(KilobyteText(1234567890), "1,234,567.89 KB");
  EXPECT_EQ(DateText({2026, 3, 7, 0, 5, 9}), "03/07/2026 12:05:09 AM");
  EXPECT_EQ(DateText({2026, 12, 31, 12, 30, 0}), "12/31/2026 12:30:00 PM");
  EXPECT_EQ(DateText({2026, 12, 31, 13, 0, 0}), "12/31/2026 01:00:00 PM");
  EXPECT_EQ(ImageFileName(" . "), "Disc Image.iso");
}

}  // namespace
}  // namespace quarnel::disc
