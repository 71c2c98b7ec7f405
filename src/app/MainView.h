#pragma once
// What the jobs and the main window's logic may read and write of the main window.
// The Win32 window implements it; tests use a fake. Nothing here knows an HWND.
#include <cstdint>
#include <optional>
#include <string>

namespace quarnel::app {

enum class Page { Backup = 0, Restore = 1, Logs = 2, About = 3 };

// The two arrays of eight item check boxes.
enum class ItemSet { Backup, Restore };  // backupitem, restoreitem

// Controls named as the product names them.
enum class Control {
  frmMain,  // the window itself: its caption
  cbSource,
  cbTarget,
  txtTargetFile,
  cmdTargetFile,
  txtAttachInfo,
  ifprotect,
  txtPassword,
  txtPassword2,
  txtSourceFile,
  cmdSourceFile,
  txtFileInfo,
  txtPOBinfo,
  List1,
  cmdApply,
  cmdQuit,
  cmdAbout,
  picCon3,
  Label1,
  SkinLabel11,
  SkinLabel12,
  pbshow,
  lblAboutTitle,  // the about page's title label
};

enum class FieldColour { Window, ScrollBar };  // system colours COLOR_WINDOW and COLOR_SCROLLBAR

// Password: frmPwd; on OK it leaves the typed text in MainState::RestorePassword.
// MailExport: the export window on the backup of BackupFilePath and RestorePassword.
enum class ModalWindow { About, TaskScheduler, Settings, DiscWriter, Password, MailExport };

struct FileDialogSpec {
  std::string title;
  std::string filter;  // pairs separated by '|': "Backup Files (*.soe)|*.soe|All Files (*.*)|*.*"
  std::string defaultExtension;
  std::string initialFolder;
  std::string fileName;
};

class MainView {
 public:
  virtual ~MainView() = default;

  virtual std::string Text(Control c) const = 0;
  virtual void SetText(Control c, const std::string& text) = 0;
  virtual bool Enabled(Control c) const = 0;
  virtual void SetEnabled(Control c, bool enabled) = 0;
  virtual bool Visible(Control c) const = 0;
  virtual void SetVisible(Control c, bool visible) = 0;
  virtual bool Checked(Control c) const = 0;  // ifprotect
  virtual void SetChecked(Control c, bool checked) = 0;
  virtual void SetFieldColour(Control c, FieldColour colour) = 0;
  virtual void Redraw(Control c) = 0;  // paint now rather than at the next idle moment

  // Combo boxes (cbSource, cbTarget) and the log list (List1). Setting the index does not
  // raise the control's choice event: the logic runs what a choice implies itself.
  virtual void ClearList(Control c) = 0;
  virtual void AddListItem(Control c, const std::string& text) = 0;
  virtual int ListCount(Control c) const = 0;
  virtual std::string ListItem(Control c, int index) const = 0;
  virtual int ListIndex(Control c) const = 0;  // -1 when nothing is chosen
  virtual void SetListIndex(Control c, int index) = 0;

  virtual bool ItemChecked(ItemSet set, int index) const = 0;
  virtual void SetItemChecked(ItemSet set, int index, bool checked) = 0;
  virtual bool ItemEnabled(ItemSet set, int index) const = 0;
  virtual void SetItemEnabled(ItemSet set, int index, bool enabled) = 0;

  // pbshow
  virtual void SetProgressRange(int minimum, int maximum) = 0;
  virtual void SetProgress(int value) = 0;
  virtual int Progress() const = 0;

  virtual Page CurrentPage() const = 0;
  virtual void ShowPage(Page page) = 0;  // selects the tab; the logic's page step runs separately

  virtual void SetWaitCursor(bool waiting) = 0;
  virtual void PumpEvents() = 0;   // processes pending window messages, then returns
  virtual void Pause(int milliseconds) = 0;

  virtual std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec) = 0;
  virtual std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec) = 0;
  // The folder picker; "" when cancelled or when the choice has no file-system path.
  virtual std::string BrowseForFolder(const std::string& title, std::uint32_t flags) = 0;

  virtual void ShowModal(ModalWindow window) = 0;
  virtual void HideWindow() = 0;
  // Unloads the about window if loaded, destroys the main window and ends the message loop.
  virtual void Quit() = 0;
};

}  // namespace quarnel::app
