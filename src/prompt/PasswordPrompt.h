#pragma once
// frmPwd, the prompt for the password of a protected backup file. It keeps nothing of its
// own: OK (or Enter in the field) leaves the typed text in the main window's
// RestorePassword, Cancel or closing the window leaves RestorePassword as it was. The Win32
// dialog forwards its events here; tests drive it through a fake view.
#include <string>

namespace quarnel::prompt {

inline constexpr const char* kPasswordCaption = "Please enter password";
// The most the prompt takes. The backup page's password fields take no more, so that every
// password a backup gets can be typed here again.
inline constexpr int kPasswordMaxLength = 20;

class PasswordView {
 public:
  virtual ~PasswordView() = default;
  virtual std::string Password() const = 0;  // txtPassword
  virtual void Close() = 0;
};

class PasswordPromptLogic {
 public:
  PasswordPromptLogic(std::string& restorePassword, PasswordView& view)
      : restorePassword_(restorePassword), view_(view) {}

  void Ok();      // cmdOK, and Enter typed in txtPassword
  void Cancel();  // cmdExit, and the window's close box

 private:
  std::string& restorePassword_;
  PasswordView& view_;
};

}  // namespace quarnel::prompt
