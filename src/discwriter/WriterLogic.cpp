#include "discwriter/WriterLogic.h"

#include <cmath>

#include "app/Product.h"
#include "disc/LocalFiles.h"
#include "discwriter/DiscText.h"
#include "platform/Services.h"

namespace quarnel::disc {

using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageResult;

namespace {

constexpr const char* kRootKey = "\\";

struct VolumeType {
  const char* text;
  int code;
};
constexpr VolumeType kVolumeTypes[] = {
    {"ISO9660", 1},
    {"UDF", 4},
    {"ISO9660/Joliet Bridge", 3},
    {"ISO9660/UDF (DVDVideo) Bridge", 5},
    {"ISO9660/Joliet/UDF Bridge", 7},
};
constexpr int kDefaultVolumeType = 4;

// Usable only while idle.
constexpr WriterControl kIdleControls[] = {
    WriterControl::mnuFile,       WriterControl::mnuDevice,     WriterControl::cboDevices,
    WriterControl::cboWriteSpeed, WriterControl::tvwFolders,    WriterControl::lvwImageFiles,
    WriterControl::cmdWriteDisc,  WriterControl::chkCacheImage, WriterControl::chkFinalizeDisc,
    WriterControl::chkTestWrite,  WriterControl::cboVolumeType, WriterControl::txtVolIdentifier,
    WriterControl::chkUseMode2XA, WriterControl::chkAutoVerify, WriterControl::chkUseFileDates,
    WriterControl::chkDiscAtOnce,
};

const char* VerifyHeading(int status) {
  switch (status) {
    case kVerifySourceUnreadable: return "Verify Error - Could not read Source file from disc: ";
    case kVerifyDiscUnreadable: return "Verify Error - Could not read Destination file from disc: ";
    case kVerifyMismatch: return "Verify Error - Source and Destination file did not match: ";
    case kVerifySizeMismatch: return "Verify Error - Size of Source and Destination file did not match: ";
    default: return nullptr;
  }
}

}  // namespace

WriterLogic::WriterLogic(WriterView& view, DiscEngine& engine, app::DiscHandOver& handOver)
    : view_(view), engine_(engine), handOver_(handOver) {
  engine_.AddListener(this);
}

WriterLogic::~WriterLogic() { engine_.RemoveListener(this); }

void WriterLogic::Message(const std::string& text, platform::MessageIcon icon) {
  platform::Messages().Show(text, app::kApplicationTitle, MessageButtons::Ok, icon);
}

void WriterLogic::Load() {
  view_.SetText(WriterControl::frmMaindvdwrite, kWriterCaption);
  if (!engine_.Initialize(false)) {
    Message("Devices Cannot be initialized...Contact support!", MessageIcon::None);
    view_.EndProgram();
    return;
  }
  LoadDevices();
  SetIdle(true);
  writer_ = &engine_.Writer();
  root_ = &writer_->Root();
  root_->Clear();

  view_.ClearList(WriterControl::cboVolumeType);
  for (const VolumeType& type : kVolumeTypes) view_.AddListItem(WriterControl::cboVolumeType, type.text, type.code);
  view_.SetListIndex(WriterControl::cboVolumeType, kDefaultVolumeType);
  writer_->Settings().FileSystem = kVolumeTypes[kDefaultVolumeType].code;
  writer_->Settings().ImageOption = 1;
  writer_->Settings().UseFileDates = true;
  view_.SetChecked(WriterControl::chkUseFileDates, true);

  ResetImageView();
  view_.SetText(WriterControl::txtVolIdentifier, kDefaultVolumeId);
  VolumeIdChanged();

  if (!handOver_.fileName.empty() && !handOver_.path.empty()) {
    imageFolder_ = ParentFolder(handOver_.path);
    root_->AddFile(handOver_.path, "\\" + handOver_.fileName);
    RefreshImageView();
    handOver_.fileName.clear();
    handOver_.path.clear();
  }
}

void WriterLogic::LoadDevices() {
  view_.ClearList(WriterControl::cboDevices);
  for (int i = 0; i < engine_.DeviceCount(); ++i) {
    DiscDevice* device = engine_.Device(i);
    if (device != nullptr && device->IsSupported()) view_.AddListItem(WriterControl::cboDevices, device->Name(), i);
  }
  if (view_.ListCount(WriterControl::cboDevices) == 0) {
    Message("There are no compatible devices reported.\r\nSome older devices are not currently supported.",
            MessageIcon::Information);
    return;
  }
  view_.SetListIndex(WriterControl::cboDevices, 0);
  DeviceChosen();
}

void WriterLogic::DeviceChosen() {
  int index = view_.ListIndex(WriterControl::cboDevices);
  if (index < 0) return;
  device_ = engine_.Device(static_cast<int>(view_.ListData(WriterControl::cboDevices, index)));
  if (device_ == nullptr) return;
  LoadWriteSpeeds();
  bool protect = device_->HasCapability(kCapBufferProtect);
  view_.SetEnabled(WriterControl::chkUseBufferProtect, protect);
  view_.SetChecked(WriterControl::chkUseBufferProtect, protect);
}

void WriterLogic::LoadWriteSpeeds() {
  view_.ClearList(WriterControl::cboWriteSpeed);
  device_->RefreshMedia(false);
  int count = device_->SpeedCount();
  for (int i = 0; i < count; ++i) {
    int value = device_->SpeedValue(i);
    view_.AddListItem(WriterControl::cboWriteSpeed, SpeedText(device_->SpeedFactor(value)), value);
  }
  if (count <= 0) view_.AddListItem(WriterControl::cboWriteSpeed, "MAX", 0);
  view_.SetListIndex(WriterControl::cboWriteSpeed, 0);
}

void WriterLogic::ResetImageView() {
  view_.ClearFiles();
  view_.ClearTree();
  view_.AddNode("", kRootKey, "New Disc", "CD", "CD");
  view_.SetText(WriterControl::txtVolIdentifier, "New Disc");
  if (writer_) writer_->Settings().VolumeIdentifier = "New Disc";
  ShowImageSummary();
}

void WriterLogic::ShowFolderFiles(const std::string& imagePath) {
  view_.SetWaitCursor(true);
  view_.ClearFiles();
  if (root_) root_->ListFolder(imagePath);
  view_.SetWaitCursor(false);
}

void WriterLogic::RefreshImageView() {
  std::optional<std::string> selected = view_.SelectedNode();
  std::string key = selected ? *selected : kRootKey;
  ShowFolderFiles(key);
  view_.ExpandNode(key);
  ShowImageSummary();
}

void WriterLogic::ShowImageSummary() {
  if (!writer_) return;
  view_.SetPanel(1, "Data Image Size: " + SizeText(writer_->ImageSize()));
  view_.SetPanel(2, "Files: " + std::to_string(root_->FileCount()));
  view_.SetPanel(3, "Folders: " + std::to_string(root_->FolderCount()));
}

void WriterLogic::SetIdle(bool idle) {
  for (WriterControl c : kIdleControls) view_.SetEnabled(c, idle);
  view_.SetEnabled(WriterControl::chkUseBufferProtect,
                   idle && device_ != nullptr && device_->HasCapability(kCapBufferProtect));
  view_.SetEnabled(WriterControl::cmdCancel, !idle);
  idle_ = idle;
  view_.SetWaitCursor(!idle);
  view_.PumpEvents();
}

void WriterLogic::Dropped(bool holdsFiles, const std::vector<std::string>& paths) {
  if (!holdsFiles || !root_) return;
  view_.SetWaitCursor(true);
  std::optional<std::string> selected = view_.SelectedNode();
  std::string target = selected && *selected != kRootKey ? *selected : "";
  for (const std::string& path : paths) {
    std::string name = LastName(path);
    if (imageFolder_.empty()) imageFolder_ = ParentFolder(path);
    LocalEntry facts;
    if (StatPath(path, &facts) && facts.isFolder) {
      root_->AddFolder(path + "\\*.*", target + "\\" + name);
    } else {
      root_->AddFile(path, target + "\\" + name);
    }
  }
  RefreshImageView();
  view_.SetWaitCursor(false);
}

// ---- item events ----

void WriterLogic::ItemAdded(const ImageItem& item) {
  if (item.IsFolder) {
    view_.AddNode(item.ParentPath, item.ImagePath, item.Name, "CLOSEDFOLDER", "OPENFOLDER");
    view_.SetPanel(1, "Adding...." + item.ImagePath);
  }
  view_.PumpEvents();
}

void WriterLogic::ItemListed(const ImageItem& item) {
  if (item.IsFolder) return;
  view_.AddFileRow(item.ImagePath, item.Name, KilobyteText(item.Size), DateText(item.Date), "FILE");
}

void WriterLogic::ItemRemoved(const ImageItem& item) {
  if (item.IsFolder) view_.RemoveNode(item.ImagePath);
}

void WriterLogic::ItemRenamed(const ImageItem& item) {
  if (item.IsFolder) view_.SetNodeKey(item.OldImagePath, item.ImagePath);
}

bool WriterLogic::ReplaceQuery(const ImageItem& item, const std::string& newSourcePath) {
  return platform::Messages().Show("A file already exists in the image: \r\n" + item.ImagePath +
                                       "\r\nWould you like to replace it with: \r\n" + newSourcePath + " ?",
                                   "Replace file...", MessageButtons::OkCancel,
                                   MessageIcon::Question) == MessageResult::Ok;
}

// ---- menus and label editing ----

void WriterLogic::RemoveSelected(bool folder) {
  std::optional<std::string> key = folder ? view_.SelectedNode() : view_.SelectedFileRow();
  if (!key) {
    Message("No Item Selected.", MessageIcon::Information);
    return;
  }
  if (!root_->Remove(*key)) Message("Item could not be removed.", MessageIcon::Information);
  RefreshImageView();
}

void WriterLogic::Run(WriterCommand command) {
  switch (command) {
    case WriterCommand::ClearAll:
      if (root_) root_->Clear();
      break;
    case WriterCommand::RemoveFolder: RemoveSelected(true); break;
    case WriterCommand::RemoveFile: RemoveSelected(false); break;
    case WriterCommand::RenameFolder:
    case WriterCommand::RenameFile: {
      bool folder = command == WriterCommand::RenameFolder;
      std::optional<std::string> key = folder ? view_.SelectedNode() : view_.SelectedFileRow();
      if (!key) {
        Message("No Item Selected.", MessageIcon::Information);
      } else {
        view_.BeginLabelEdit(folder ? ImageView::Tree : ImageView::List, *key);
      }
      break;
    }
    case WriterCommand::Exit: view_.Close(); break;
    case WriterCommand::Eject:
      if (device_) device_->Eject();
      break;
    case WriterCommand::CloseTray:
      if (device_) device_->CloseTray();
      break;
    case WriterCommand::EraseDisc:
      if (device_) view_.ShowErase(*device_, engine_);
      break;
    case WriterCommand::WriteDisc: Write(); break;
    case WriterCommand::Cancel:
      if (writer_) writer_->CancelWrite();
      view_.SetPanel(1, "Aborting Write...Please Wait!");
      break;
  }
}

bool WriterLogic::BeforeTreeLabelEdit() {
  if (view_.SelectedNode() == std::optional<std::string>(kRootKey)) {
    Message("Root directory can not be renamed.", MessageIcon::Information);
    return false;
  }
  return true;
}

bool WriterLogic::TreeLabelEdited(const std::optional<std::string>& text) {
  std::optional<std::string> key = view_.SelectedNode();
  if (!text || !key) return false;
  bool renamed = root_->RenameFolder(*key, *text);
  if (!renamed) Message("Folder could not be renamed.", MessageIcon::Information);
  RefreshImageView();
  return renamed;
}

bool WriterLogic::ListLabelEdited(const std::optional<std::string>& text) {
  std::optional<std::string> key = view_.SelectedFileRow();
  if (!text || !key) return false;
  bool renamed = root_->RenameFile(*key, *text);
  if (!renamed) Message("File could not be renamed.", MessageIcon::Information);
  RefreshImageView();
  return renamed;
}

void WriterLogic::NodeClicked(const std::string& key) { ShowFolderFiles(key); }

void WriterLogic::ContextMenu(ImageView view) {
  bool tree = view == ImageView::Tree;
  for (int i = 0; i < kFileMenuEntries; ++i) {
    auto entry = static_cast<FileMenuEntry>(i);
    bool shown = entry == FileMenuEntry::Clear ||
                 (tree && (entry == FileMenuEntry::RemoveFolder || entry == FileMenuEntry::RenameFolder)) ||
                 (!tree && (entry == FileMenuEntry::RemoveFile || entry == FileMenuEntry::RenameFile));
    view_.SetMenuEntryVisible(entry, shown);
  }
  view_.PopupFileMenu();
  for (int i = 0; i < kFileMenuEntries; ++i) view_.SetMenuEntryVisible(static_cast<FileMenuEntry>(i), true);
}

void WriterLogic::VolumeIdChanged() { view_.SetNodeText(kRootKey, view_.Text(WriterControl::txtVolIdentifier)); }

void WriterLogic::UseFileDatesChanged() {
  if (writer_) writer_->Settings().UseFileDates = view_.Checked(WriterControl::chkUseFileDates);
}

void WriterLogic::Closing() {
  engine_.RemoveListener(this);
  writer_ = nullptr;
  root_ = nullptr;
  device_ = nullptr;
}

// ---- the write cycle ----

bool WriterLogic::CheckMediaSpace() {
  device_->RefreshMedia(true);
  MediaInfo media = device_->Media();
  if (media.MediaType == kMediaNone || !media.IsWritable) {
    Message("Please Insert Writable Media before continuing!", MessageIcon::Information);
    return false;
  }
  double free = device_->FreeBlocks(true) * writer_->BlockSize();
  double needed = writer_->ImageSize();
  if (free < needed) {
    Message("Free Space on the loaded disc is " + MegabyteNumber(free) + " MB!\r\nThis data image requires " +
                MegabyteNumber(needed) + " MB of Free Space!",
            MessageIcon::Information);
    return false;
  }
  return true;
}

void WriterLogic::Write() {
  if (device_ == nullptr || writer_ == nullptr) return;
  if (device_->WritesImageFile()) {
    app::FileDialogSpec spec;
    spec.title = "Save Disc Image As";
    spec.filter = "Disc Image Files (*.iso)|*.iso|All Files (*.*)|*.*";
    spec.defaultExtension = "iso";
    spec.initialFolder = imageFolder_;
    spec.fileName = ImageFileName(view_.Text(WriterControl::txtVolIdentifier));
    std::optional<std::string> path = view_.SaveFileDialog(spec);
    if (!path) return;
    device_->SetImageFilePath(*path);
  }
  if (!CheckMediaSpace()) return;
  WriterSettings& settings = writer_->Settings();
  settings.VolumeIdentifier = view_.Text(WriterControl::txtVolIdentifier);
  settings.WriteOption = 1;
  int speed = view_.ListIndex(WriterControl::cboWriteSpeed);
  settings.WriteSpeed = speed >= 0 ? static_cast<int>(view_.ListData(WriterControl::cboWriteSpeed, speed)) : 0;
  int type = view_.ListIndex(WriterControl::cboVolumeType);
  if (type >= 0) settings.FileSystem = static_cast<int>(view_.ListData(WriterControl::cboVolumeType, type));
  settings.AutoVerify = view_.Checked(WriterControl::chkAutoVerify);
  settings.Mode2XA = view_.Checked(WriterControl::chkUseMode2XA);
  settings.CacheImage = view_.Checked(WriterControl::chkCacheImage);
  settings.TestWrite = view_.Checked(WriterControl::chkTestWrite);
  settings.FinalizeDisc = view_.Checked(WriterControl::chkFinalizeDisc);
  settings.BufferProtect = view_.Checked(WriterControl::chkUseBufferProtect);
  settings.WriteMode = view_.Checked(WriterControl::chkDiscAtOnce) ? kWriteModeDiscAtOnce : kWriteModeTrackAtOnce;
  verifyDone_.reset();
  if (!writer_->StartWrite(*device_)) {
    Message("Disc Write could not be started.", MessageIcon::Critical);
    return;
  }
  SetIdle(false);
}

void WriterLogic::WriteStatus(int percent, int status) {
  switch (status) {
    case kWritePreparing: view_.SetPanel(1, "Preparing Image...."); break;
    case kWriteCaching:
    case kWriteWriting:
    case kWriteVerifying: view_.SetProgress(percent); break;
    case kWriteClosingTrack: view_.SetPanel(1, "Closing Track...."); break;
    case kWriteLeadIn: view_.SetPanel(1, "Writing Lead-in...."); break;
    case kWriteLeadOut: view_.SetPanel(1, "Writing Lead-out...."); break;
    case kWriteUpdatingVolume: view_.SetPanel(1, "Updating Volume...."); break;
    case kWriteDone:
      view_.SetPanel(1, "Write Completed!");
      if (writer_ && writer_->Settings().AutoVerify && verifyDone_ && verifyDone_->second < verifyDone_->first) {
        // Each mismatch has had its own box; the end must not announce success.
        Message("Write Complete, but Verify failed!\r\n" + std::to_string(verifyDone_->second) + " of " +
                    std::to_string(verifyDone_->first) + " files matched.",
                MessageIcon::Critical);
      } else {
        Message(writer_ && writer_->Settings().AutoVerify ? "Write and Verify Complete!" : "Write Complete!",
                MessageIcon::Information);
      }
      SetIdle(true);
      break;
    case kWriteCancelled:
      view_.SetPanel(1, "Write Cancelled....");
      Message("Write Cancelled!", MessageIcon::Information);
      SetIdle(true);
      break;
    case kWriteFailed:
      view_.SetPanel(1, "Write Error!");
      SetIdle(true);
      break;
    default: break;
  }
}

void WriterLogic::TrackReading(int track, int progress, const std::string& fileName) {
  char number[16];
  std::snprintf(number, sizeof number, "%02d", track);
  view_.SetPanel(1, std::string("Track: ") + number + " - Reading..." + std::to_string(progress) + " - " + fileName);
}

bool WriterLogic::FileWarning(const FileError& warning) {
  MessageResult answer = platform::Messages().Show(
      "File Warning(" + std::to_string(warning.Code) + "):" + warning.Path + "\r\n" + warning.Text,
      app::kApplicationTitle, MessageButtons::OkCancel, MessageIcon::Exclamation);
  view_.SetPanel(1, "File Warning!");
  return answer != MessageResult::Cancel;
}

void WriterLogic::EngineError(const EngineErrorInfo& error) { Message(EngineErrorText(error), MessageIcon::Critical); }

void WriterLogic::VerifyStarted(int fileCount) {
  view_.SetPanel(1, "Auto-Verify... " + std::to_string(fileCount) + " new files.");
}

void WriterLogic::VerifyFile(const ImageItem& item, int status, int done, int total) {
  if (const char* heading = VerifyHeading(status)) {
    Message(std::string(heading) + "\r\n" + item.ImagePath + " (disc)\r\n" + item.SourcePath + " (source)",
            MessageIcon::None);
  }
  view_.SetPanel(1, "Auto-Verify... " + item.ImagePath);
  if (total > 0) view_.SetProgress(static_cast<int>(std::nearbyint(static_cast<double>(done) / total * 100)));
}

void WriterLogic::VerifyDone(int verified, int matched) {
  verifyDone_ = std::make_pair(verified, matched);
  view_.SetPanel(
      1, "Auto-Verify...Complete (" + std::to_string(matched) + " of " + std::to_string(verified) + " MATCHED)");
}

}  // namespace quarnel::disc
