#pragma once
// frmMaindvdwrite's logic: opening, the drives and speeds, the image view and its editing,
// the File and Device menus, the write cycle and the engine's events. The Win32 dialog
// forwards its events here and does what the logic asks through WriterView.
#include <optional>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "disc/DiscEngine.h"
#include "discwriter/WriterView.h"
#include "platform/Messages.h"

namespace quarnel::disc {

inline constexpr const char* kWriterCaption = "Backup Outlook Express Data to CD/DVD";
inline constexpr const char* kDefaultVolumeId = "Outlook Express Data Backup CD";

enum class WriterCommand {
  ClearAll,      // mnuFileClear
  RemoveFolder,  // mnuFileRemoveFolder
  RenameFolder,  // mnuFileRenameFolder
  RemoveFile,    // mnuFileRemoveFile
  RenameFile,    // mnuFileRenameFile
  Exit,          // mnuFileExit
  Eject,         // mnuDeviceEject
  CloseTray,     // mnuDeviceCloseTray
  EraseDisc,     // mnuDeviceEraseDisc
  WriteDisc,     // cmdWriteDisc
  Cancel,        // cmdCancel
};

class WriterLogic final : public EngineListener {
 public:
  // The hand-over is what a finished backup left for this window; it is emptied at load.
  WriterLogic(WriterView& view, DiscEngine& engine, app::DiscHandOver& handOver);
  ~WriterLogic() override;
  WriterLogic(const WriterLogic&) = delete;
  WriterLogic& operator=(const WriterLogic&) = delete;

  void Load();
  void DeviceChosen();
  void Run(WriterCommand command);
  void NodeClicked(const std::string& key);
  // False cancels the edit.
  bool BeforeTreeLabelEdit();
  // The edited text (nothing when the edit was abandoned); true keeps it as the label.
  bool TreeLabelEdited(const std::optional<std::string>& text);
  bool ListLabelEdited(const std::optional<std::string>& text);
  // The right mouse button released over a view.
  void ContextMenu(ImageView view);
  // A drop on either view; holdsFiles: the data carries a list of files (CF_HDROP).
  void Dropped(bool holdsFiles, const std::vector<std::string>& paths);
  void VolumeIdChanged();
  void UseFileDatesChanged();
  // Closing: false while a write runs. Close lets go of the engine's objects.
  bool CanClose() const { return idle_; }
  void Closing();
  bool Idle() const { return idle_; }

  // EngineListener
  void ItemAdded(const ImageItem& item) override;
  void ItemListed(const ImageItem& item) override;
  void ItemRemoved(const ImageItem& item) override;
  void ItemRenamed(const ImageItem& item) override;
  bool ReplaceQuery(const ImageItem& item, const std::string& newSourcePath) override;
  void ImageCleared() override { ResetImageView(); }
  void WriteStatus(int percent, int status) override;
  void TrackReading(int track, int progress, const std::string& fileName) override;
  bool FileWarning(const FileError& warning) override;
  void EngineError(const EngineErrorInfo& error) override;
  void VerifyStarted(int fileCount) override;
  void VerifyFile(const ImageItem& item, int status, int done, int total) override;
  void VerifyDone(int verified, int matched) override;
  void ProcessInput() override { view_.PumpEvents(); }

 private:
  void LoadDevices();
  void LoadWriteSpeeds();
  void ResetImageView();
  void ShowFolderFiles(const std::string& imagePath);
  void RefreshImageView();
  void ShowImageSummary();
  void SetIdle(bool idle);
  void Write();
  bool CheckMediaSpace();
  void RemoveSelected(bool folder);
  void Message(const std::string& text, platform::MessageIcon icon);

  WriterView& view_;
  DiscEngine& engine_;
  app::DiscHandOver& handOver_;
  DataWriter* writer_ = nullptr;
  ImageRoot* root_ = nullptr;
  DiscDevice* device_ = nullptr;
  bool idle_ = true;
  std::string imageFolder_;                        // where the image file is offered to go
  std::optional<std::pair<int, int>> verifyDone_;  // verified, matched of the running write
};

}  // namespace quarnel::disc
