#pragma once
// The mail export window on Win32: a modal dialog with the folder list (a list view with
// check boxes), the target folder, the format, progress and summary. It forwards its
// events to ExportLogic and carries out what the logic asks.
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "exportui/ExportLogic.h"
#include "exportui/ExportView.h"

namespace quarnel::exportui {

class ExportWindow final : public ExportView {
 public:
  // Returns when the window is closed.
  static void ShowModal(HINSTANCE instance, HWND owner, const std::string& backupPath, const std::string& password);
  // The open window, or nullptr.
  static ExportWindow* Current();
  HWND Handle() const { return window_; }

  // ExportView
  void ShowFolders(const std::vector<FolderRow>& rows) override;
  bool FolderTicked(int row) const override;
  std::string Target() const override;
  void SetTarget(const std::string& folder) override;
  mailexport::ExportFormat Format() const override;
  void SetFormat(mailexport::ExportFormat format) override;
  std::string BrowseForFolder(const std::string& title) override;
  void SetRunning(bool running) override;
  void ShowProgress(const std::string& text, int percent) override;
  void ShowSummary(const std::string& text) override;
  void PumpEvents() override;
  void Close() override;

 private:
  ExportWindow(const std::string& backupPath, const std::string& password) : logic_(*this, backupPath, password) {}
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND window);
  void OnCommand(int id, int notification);
  // True when a change of the list's row is to be refused: the box of a heading.
  bool RefusesChange(const NMLISTVIEW& change) const;

  ExportLogic logic_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  std::vector<bool> mailRows_;
  bool filling_ = false;
};

}  // namespace quarnel::exportui
