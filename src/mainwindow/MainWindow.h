#pragma once
// frmMain on Win32: a modeless dialog with the tab strip SSTab1, one child dialog per page,
// the progress panel picCon3 and the always visible buttons. It forwards every event to
// MainWindowLogic and carries out what the logic asks through MainView.
#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/MainState.h"
#include "app/MainView.h"
#include "mainwindow/MainWindowLogic.h"

namespace quarnel::app {

class MainWindow final : public MainView {
 public:
  MainWindow(HINSTANCE instance, MainState& state);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Creates the window, hidden, applies the skin and runs the logic's load step.
  bool Create();
  HWND Handle() const { return window_; }
  HACCEL Accelerators() const { return accelerators_; }
  MainWindowLogic& Logic() { return logic_; }

  // Gives a message of the thread's loop to the short-cuts and the keyboard navigation of
  // the window; true when it was used up there.
  bool PreTranslate(MSG& message);

  // The modal windows that the menus open, by kind; the about window is known from the start.
  using ModalOpener = std::function<void(HWND owner)>;
  void SetModalOpener(ModalWindow window, ModalOpener opener);

  // Which items' frame lies under a screen point (its right-click menu opens there).
  std::optional<ItemSet> ItemFrameAt(POINT screen) const;
  // The pop-up menu of an items' frame: selectitem or selectitem2.
  HMENU ItemMenu(ItemSet set) const;
  // The window and the child dialog (page or panel) that hold a control; nullptr when none.
  HWND ControlHandle(Control c) const;

  // MainView
  std::string Text(Control c) const override;
  void SetText(Control c, const std::string& text) override;
  bool Enabled(Control c) const override;
  void SetEnabled(Control c, bool enabled) override;
  bool Visible(Control c) const override;
  void SetVisible(Control c, bool visible) override;
  bool Checked(Control c) const override;
  void SetChecked(Control c, bool checked) override;
  void SetFieldColour(Control c, FieldColour colour) override;
  void Redraw(Control c) override;
  void ClearList(Control c) override;
  void AddListItem(Control c, const std::string& text) override;
  int ListCount(Control c) const override;
  std::string ListItem(Control c, int index) const override;
  int ListIndex(Control c) const override;
  void SetListIndex(Control c, int index) override;
  bool ItemChecked(ItemSet set, int index) const override;
  void SetItemChecked(ItemSet set, int index, bool checked) override;
  bool ItemEnabled(ItemSet set, int index) const override;
  void SetItemEnabled(ItemSet set, int index, bool enabled) override;
  void SetProgressRange(int minimum, int maximum) override;
  void SetProgress(int value) override;
  int Progress() const override;
  Page CurrentPage() const override;
  void ShowPage(Page page) override;
  void SetWaitCursor(bool waiting) override;
  void PumpEvents() override;
  void Pause(int milliseconds) override;
  std::optional<std::string> OpenFileDialog(const FileDialogSpec& spec) override;
  std::optional<std::string> SaveFileDialog(const FileDialogSpec& spec) override;
  std::string BrowseForFolder(const std::string& title, std::uint32_t flags) override;
  void ShowModal(ModalWindow window) override;
  void HideWindow() override;
  void Quit() override;

 private:
  static INT_PTR CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // The one handler: the main dialog and its page dialogs send their messages here.
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND window);
  void OnCommand(int id, int notification);
  INT_PTR OnNotify(const NMHDR& header);
  void OnContextMenu(HWND window, POINT screen);
  INT_PTR OnControlColour(UINT message, HDC dc, HWND control);
  bool OnSetCursor();
  void OnActivate(WPARAM wParam);
  void OnClose();
  void OnDestroy();

  void CreatePages();
  void LayoutPages();
  void ShowPageControls(Page page);
  void StepPage(int delta);
  HWND ItemBox(ItemSet set, int index) const;

  HINSTANCE instance_;
  MainWindowLogic logic_;
  HWND window_ = nullptr;
  HWND tabs_ = nullptr;
  HWND pages_[4] = {};
  HWND progress_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HMENU itemMenus_ = nullptr;
  HICON bigIcon_ = nullptr;
  HICON smallIcon_ = nullptr;
  bool waiting_ = false;
  std::map<HWND, FieldColour> fieldColours_;
  std::map<ModalWindow, ModalOpener> modalOpeners_;
};

}  // namespace quarnel::app
