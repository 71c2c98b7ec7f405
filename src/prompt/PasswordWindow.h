#pragma once
// frmPwd on Win32: a modal dialog with the masked field, OK (the default button, so Enter
// in the field is OK) and Cancel. Everything it does is PasswordPromptLogic's.
#include <windows.h>

#include <string>

namespace quarnel::prompt {

class PasswordWindow {
 public:
  // Returns when the prompt is closed; on OK restorePassword holds the typed text.
  static void ShowModal(HINSTANCE instance, HWND owner, std::string& restorePassword);
  // The open prompt, or nullptr.
  static HWND Current();
};

}  // namespace quarnel::prompt
