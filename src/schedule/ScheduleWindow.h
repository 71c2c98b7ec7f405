#pragma once
// Frmoption on Win32: a modal dialog that forwards its events to ScheduleLogic and carries
// out what the logic asks through ScheduleView.
#include <windows.h>

#include <map>

#include "schedule/ScheduleLogic.h"
#include "schedule/ScheduleView.h"

namespace quarnel::schedule {

class ScheduleWindow final : public ScheduleView {
 public:
  // Returns when the window is closed.
  static void ShowModal(HINSTANCE instance, HWND owner);
  // The open window, or nullptr.
  static ScheduleWindow* Current();

  HWND Handle() const { return window_; }
  HWND ControlHandle(ScheduleControl c) const;
  HWND ItemBox(int index) const;

  // ScheduleView
  std::string Text(ScheduleControl c) const override;
  void SetText(ScheduleControl c, const std::string& text) override;
  bool Enabled(ScheduleControl c) const override;
  void SetEnabled(ScheduleControl c, bool enabled) override;
  bool Checked(ScheduleControl c) const override;
  void SetChecked(ScheduleControl c, bool checked) override;
  void SetFieldColour(ScheduleControl c, app::FieldColour colour) override;
  void ClearList(ScheduleControl c) override;
  void AddListItem(ScheduleControl c, const std::string& text) override;
  int ListIndex(ScheduleControl c) const override;
  void SetListIndex(ScheduleControl c, int index) override;
  bool ItemChecked(int index) const override;
  void SetItemChecked(int index, bool checked) override;
  void SetItemEnabled(int index, bool enabled) override;
  std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) override;
  void SetWaitCursor(bool waiting) override;
  void Close() override;

 private:
  ScheduleWindow() : logic_(*this) {}
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog(HWND window);
  void OnCommand(int id, int notification);

  ScheduleLogic logic_;
  HWND window_ = nullptr;
  bool waiting_ = false;
  std::map<HWND, app::FieldColour> fieldColours_;
};

}  // namespace quarnel::schedule
