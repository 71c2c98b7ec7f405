#pragma once
// What the disc writer window's logic may do to frmMaindvdwrite. The Win32 dialog implements
// it; tests use a fake. Nothing here knows an HWND.
#include <optional>
#include <string>

#include "app/MainView.h"
#include "disc/DiscEngine.h"

namespace quarnel::disc {

enum class WriterControl {
  frmMaindvdwrite,
  cboDevices,
  cboWriteSpeed,
  cboVolumeType,
  txtVolIdentifier,
  chkUseBufferProtect,
  chkCacheImage,
  chkFinalizeDisc,
  chkTestWrite,
  chkAutoVerify,
  chkUseMode2XA,
  chkUseFileDates,
  chkDiscAtOnce,
  cmdWriteDisc,
  cmdCancel,
  tvwFolders,
  lvwImageFiles,
  prgTotalProgress,
  mnuFile,
  mnuDevice,
};

// Entries of the File menu, also shown as pop-ups over the two views.
enum class FileMenuEntry { Clear, Sep1, RemoveFolder, RenameFolder, RemoveFile, RenameFile, Sep4, Exit };
inline constexpr int kFileMenuEntries = 8;

enum class ImageView { Tree, List };

class WriterView {
 public:
  virtual ~WriterView() = default;

  virtual std::string Text(WriterControl c) const = 0;
  virtual void SetText(WriterControl c, const std::string& text) = 0;
  virtual bool Enabled(WriterControl c) const = 0;
  virtual void SetEnabled(WriterControl c, bool enabled) = 0;
  virtual bool Checked(WriterControl c) const = 0;
  virtual void SetChecked(WriterControl c, bool checked) = 0;

  // The three combo boxes; each entry keeps a number. Setting the index raises no event.
  virtual void ClearList(WriterControl c) = 0;
  virtual void AddListItem(WriterControl c, const std::string& text, long data) = 0;
  virtual int ListCount(WriterControl c) const = 0;
  virtual std::string ListItem(WriterControl c, int index) const = 0;
  virtual long ListData(WriterControl c, int index) const = 0;
  virtual int ListIndex(WriterControl c) const = 0;
  virtual void SetListIndex(WriterControl c, int index) = 0;

  // tvwFolders: nodes keyed by image path; icons by their keys in ImageList1.
  virtual void ClearTree() = 0;
  virtual void AddNode(const std::string& parentKey, const std::string& key, const std::string& text,
                       const std::string& icon, const std::string& selectedIcon) = 0;
  virtual bool HasNode(const std::string& key) const = 0;
  virtual void RemoveNode(const std::string& key) = 0;
  virtual void SetNodeKey(const std::string& oldKey, const std::string& newKey) = 0;
  virtual void SetNodeText(const std::string& key, const std::string& text) = 0;
  virtual std::optional<std::string> SelectedNode() const = 0;
  virtual void ExpandNode(const std::string& key) = 0;

  // lvwImageFiles: rows keyed by image path, columns "File Name", "Size", "Date".
  virtual void ClearFiles() = 0;
  virtual void AddFileRow(const std::string& key, const std::string& name, const std::string& size,
                          const std::string& date, const std::string& icon) = 0;
  virtual std::optional<std::string> SelectedFileRow() const = 0;

  // Starts editing the label of a node or row; the edit's end comes back to the logic.
  virtual void BeginLabelEdit(ImageView view, const std::string& key) = 0;

  // sbrStatus panels 1 to 3; prgTotalProgress.
  virtual void SetPanel(int panel, const std::string& text) = 0;
  virtual std::string Panel(int panel) const = 0;
  virtual void SetProgress(int value) = 0;

  // The File menu entries' visibility, and the File menu as a pop-up at the mouse.
  virtual void SetMenuEntryVisible(FileMenuEntry entry, bool visible) = 0;
  virtual void PopupFileMenu() = 0;

  virtual void SetWaitCursor(bool waiting) = 0;
  virtual void PumpEvents() = 0;
  virtual std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) = 0;
  // Opens frmErase modally with the device and the engine; returns when it has closed.
  virtual void ShowErase(DiscDevice& device, DiscEngine& engine) = 0;
  virtual void Close() = 0;
  virtual void EndProgram() = 0;
};

}  // namespace quarnel::disc
