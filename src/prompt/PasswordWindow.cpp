#include "prompt/PasswordWindow.h"

#include "app/Skin.h"
#include "prompt/PasswordPrompt.h"
#include "prompt/PromptResource.h"

namespace quarnel::prompt {
namespace {

HWND g_current = nullptr;

class Win32PasswordView : public PasswordView {
 public:
  explicit Win32PasswordView(HWND window) : window_(window) {}
  std::string Password() const override {
    char text[kPasswordMaxLength + 1] = {};
    GetDlgItemTextA(window_, IDC_PWD_TXTPASSWORD, text, sizeof text);
    return text;
  }
  void Close() override {
    // Nothing typed stays in the field once the prompt has been answered.
    SetDlgItemTextA(window_, IDC_PWD_TXTPASSWORD, "");
    EndDialog(window_, 0);
  }

 private:
  HWND window_;
};

struct Prompt {
  Prompt(HWND window, std::string& restorePassword) : view(window), logic(restorePassword, view) {}
  Win32PasswordView view;
  PasswordPromptLogic logic;
};

INT_PTR CALLBACK PasswordProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* prompt = reinterpret_cast<Prompt*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG: {
      auto* made = new Prompt(window, *reinterpret_cast<std::string*>(lParam));
      SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(made));
      g_current = window;
      HWND field = GetDlgItem(window, IDC_PWD_TXTPASSWORD);
      SendMessageA(field, EM_LIMITTEXT, kPasswordMaxLength, 0);
      SendMessageA(field, EM_SETPASSWORDCHAR, '*', 0);
      app::WindowSkin::Active().Apply(window);
      SetFocus(field);
      return FALSE;  // the focus is set
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          app::WindowSkin::Active().Colour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_COMMAND:
      if (prompt == nullptr) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK: prompt->logic.Ok(); return TRUE;
        case IDCANCEL: prompt->logic.Cancel(); return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (g_current == window) g_current = nullptr;
      delete prompt;
      SetWindowLongPtrA(window, DWLP_USER, 0);
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void PasswordWindow::ShowModal(HINSTANCE instance, HWND owner, std::string& restorePassword) {
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_PASSWORD), owner, PasswordProc,
                  reinterpret_cast<LPARAM>(&restorePassword));
}

HWND PasswordWindow::Current() { return g_current; }

}  // namespace quarnel::prompt
