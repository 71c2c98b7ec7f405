#pragma once
// For window tests under Windows: a driver of the modal windows an action opens, and its
// steps for the common file dialog and frmPwd.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "prompt/PasswordPrompt.h"
#include "prompt/PasswordWindow.h"
#include "prompt/PromptResource.h"

namespace quarnel::testing {

// Answers the modal windows that an action opens, in order, from a thread timer: each step
// waits for a dialog of its caption and acts on it. A password prompt that is not a step
// is cancelled; whatever is still up after a few seconds is closed.
class DialogDriver {
 public:
  struct Step {
    std::string caption;
    std::function<void(HWND)> act;
  };
  explicit DialogDriver(std::vector<Step> steps) : steps_(std::move(steps)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 50, Tick);
  }
  ~DialogDriver() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool Done() const { return next_ == steps_.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DialogDriver* self = current_;
    if (self == nullptr) return;
    const bool promptIsNext = !self->Done() && self->steps_[self->next_].caption == prompt::kPasswordCaption;
    if (HWND prompt = prompt::PasswordWindow::Current(); prompt && !promptIsNext) {
      PostMessageA(prompt, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    if (self->Done()) return;
    const Step& step = self->steps_[self->next_];
    HWND dialog = FindWindowA("#32770", step.caption.c_str());
    if (dialog == nullptr || !IsWindowVisible(dialog)) {
      if (++self->waited > 200 && GetActiveWindow() != nullptr) PostMessageA(GetActiveWindow(), WM_CLOSE, 0, 0);
      return;
    }
    self->waited = 0;
    ++self->next_;
    step.act(dialog);
  }

  static inline DialogDriver* current_ = nullptr;
  std::vector<Step> steps_;
  std::size_t next_ = 0;
  int waited = 0;
  UINT_PTR timer_ = 0;
};

// The common file dialog: the name typed into its file name field, then OK.
inline DialogDriver::Step ChooseFile(const char* caption, const std::string& path) {
  return {caption, [path](HWND dialog) {
            HWND name = GetDlgItem(dialog, 0x47C);  // cmb13 of the Explorer-style dialog
            if (name == nullptr) name = GetDlgItem(dialog, 0x480);
            SetWindowTextA(name, path.c_str());
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
          }};
}

// frmPwd: the password typed, then Enter in the field.
inline DialogDriver::Step AnswerPrompt(const std::string& password) {
  return {prompt::kPasswordCaption, [=](HWND dialog) {
            HWND field = GetDlgItem(dialog, IDC_PWD_TXTPASSWORD);
            SetWindowTextA(field, password.c_str());
            SetFocus(field);
            PostMessageA(field, WM_KEYDOWN, VK_RETURN, 0x001C0001);
          }};
}

}  // namespace quarnel::testing
