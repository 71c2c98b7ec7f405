#pragma once
// frmMaindvdwrite on Win32: a dialog that implements WriterView over its controls and
// forwards every event to WriterLogic. It owns the engine for its lifetime.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "disc/Engine.h"
#include "discwriter/WriterLogic.h"
#include "discwriter/WriterView.h"

namespace quarnel::disc {

class DiscWriterDialog final : public WriterView {
 public:
  // Opens the window modally over the owner and returns when it has closed: from the menu,
  // and from a finished backup with the hand-over set.
  static void ShowModal(HINSTANCE instance, HWND owner, app::DiscHandOver& handOver);

  DiscWriterDialog(HINSTANCE instance, app::DiscHandOver& handOver);
  ~DiscWriterDialog() override;
  DiscWriterDialog(const DiscWriterDialog&) = delete;
  DiscWriterDialog& operator=(const DiscWriterDialog&) = delete;

  // Modeless, for tests that drive the window from their own loop.
  bool Create(HWND owner);
  HWND Handle() const { return window_; }
  HWND Control(WriterControl c) const;
  WriterLogic& Logic() { return *logic_; }
  DiscEngine& Engine() { return engine_; }
  // Answers the save dialog instead of showing it (tests).
  std::function<std::optional<std::string>(const app::FileDialogSpec&)> saveDialogAnswer;
  // The window opened last and still open.
  static DiscWriterDialog* Current();

  // WriterView
  std::string Text(WriterControl c) const override;
  void SetText(WriterControl c, const std::string& text) override;
  bool Enabled(WriterControl c) const override;
  void SetEnabled(WriterControl c, bool enabled) override;
  bool Checked(WriterControl c) const override;
  void SetChecked(WriterControl c, bool checked) override;
  void ClearList(WriterControl c) override;
  void AddListItem(WriterControl c, const std::string& text, long data) override;
  int ListCount(WriterControl c) const override;
  std::string ListItem(WriterControl c, int index) const override;
  long ListData(WriterControl c, int index) const override;
  int ListIndex(WriterControl c) const override;
  void SetListIndex(WriterControl c, int index) override;
  void ClearTree() override;
  void AddNode(const std::string& parentKey, const std::string& key, const std::string& text, const std::string& icon,
               const std::string& selectedIcon) override;
  bool HasNode(const std::string& key) const override { return nodes_.count(key) != 0; }
  void RemoveNode(const std::string& key) override;
  void SetNodeKey(const std::string& oldKey, const std::string& newKey) override;
  void SetNodeText(const std::string& key, const std::string& text) override;
  std::optional<std::string> SelectedNode() const override;
  void ExpandNode(const std::string& key) override;
  void ClearFiles() override;
  void AddFileRow(const std::string& key, const std::string& name, const std::string& size, const std::string& date,
                  const std::string& icon) override;
  std::optional<std::string> SelectedFileRow() const override;
  void BeginLabelEdit(ImageView view, const std::string& key) override;
  void SetPanel(int panel, const std::string& text) override;
  std::string Panel(int panel) const override;
  void SetProgress(int value) override;
  void SetMenuEntryVisible(FileMenuEntry entry, bool visible) override;
  void PopupFileMenu() override;
  void SetWaitCursor(bool waiting) override;
  void PumpEvents() override;
  std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) override;
  void ShowErase(DiscDevice& device, DiscEngine& engine) override;
  void Close() override;
  void EndProgram() override;

  HTREEITEM NodeHandle(const std::string& key) const;

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND window);
  void OnCommand(int id, int notification);
  INT_PTR OnNotify(const NMHDR& header);
  void OnDropFiles(HDROP drop);
  void OnClose();
  void MakeImageList();
  int IconIndex(const std::string& key) const;

  HINSTANCE instance_;
  app::DiscHandOver& handOver_;
  disc::Engine engine_;
  std::unique_ptr<WriterLogic> logic_;
  HWND window_ = nullptr;
  bool modal_ = false;
  bool waiting_ = false;
  HIMAGELIST images_ = nullptr;
  std::map<std::string, HTREEITEM> nodes_;
  std::vector<std::string> rowKeys_;
  std::set<FileMenuEntry> hidden_;
  std::vector<std::string> panels_ = std::vector<std::string>(4);
};

}  // namespace quarnel::disc
