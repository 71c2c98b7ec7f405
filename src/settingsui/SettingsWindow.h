#pragma once
// Frmsettings on Win32: a modal dialog with the tab strip SSTab1 and one child dialog per
// page. It forwards its events to SettingsLogic and carries out what the logic asks.
#include <windows.h>

#include "settingsui/SettingsLogic.h"
#include "settingsui/SettingsView.h"

namespace quarnel::settingsui {

class SettingsWindow final : public SettingsView {
 public:
  static constexpr int kPageCount = 3;

  // Returns when the window is closed.
  static void ShowModal(HINSTANCE instance, HWND owner);
  // The open window, or nullptr.
  static SettingsWindow* Current();

  HWND Handle() const { return window_; }
  HWND Tabs() const { return tabs_; }
  HWND Page(int index) const { return index >= 0 && index < kPageCount ? pages_[index] : nullptr; }
  HWND ControlHandle(SettingsControl c) const;

  // SettingsView
  std::string Text(SettingsControl c) const override;
  void SetText(SettingsControl c, const std::string& text) override;
  bool Checked(SettingsControl c) const override;
  void SetChecked(SettingsControl c, bool checked) override;
  std::string BrowseForFolder(const std::string& title, std::uint32_t flags) override;
  void Close() override;

 private:
  explicit SettingsWindow(HINSTANCE instance) : instance_(instance), logic_(*this) {}
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND window);
  void OnCommand(int id, int notification);

  HINSTANCE instance_;
  SettingsLogic logic_;
  HWND window_ = nullptr;
  HWND tabs_ = nullptr;
  HWND pages_[kPageCount] = {};
  HICON folderIcon_ = nullptr;
};

}  // namespace quarnel::settingsui
