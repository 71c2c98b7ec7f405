#pragma once
// frmErase on Win32: a modal dialog over EraseLogic.
#include <windows.h>

#include <memory>

#include "discwriter/EraseLogic.h"
#include "discwriter/EraseView.h"

namespace quarnel::disc {

class EraseDialog final : public EraseView {
 public:
  // ShowErase: opens the window modally with the device and the engine.
  static void ShowErase(HINSTANCE instance, HWND owner, DiscDevice& device, DiscEngine& engine);
  // The erase window while it is open, else nullptr.
  static HWND Current();

  std::string Text(EraseControl c) const override;
  void SetText(EraseControl c, const std::string& text) override;
  bool Enabled(EraseControl c) const override;
  void SetEnabled(EraseControl c, bool enabled) override;
  bool Checked(EraseControl c) const override;
  void SetChecked(EraseControl c, bool checked) override;
  void SetProgress(int value) override;
  void Close() override;

 private:
  EraseDialog(DiscDevice& device, DiscEngine& engine) : logic_(*this, device, engine) {}
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND Item(EraseControl c) const;

  EraseLogic logic_;
  HWND window_ = nullptr;
};

}  // namespace quarnel::disc
