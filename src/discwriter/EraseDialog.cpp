#include "discwriter/EraseDialog.h"

#include <commctrl.h>

#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "discwriter/DiscResource.h"

namespace quarnel::disc {
namespace {

HWND g_current = nullptr;

int IdOf(EraseControl c) {
  switch (c) {
    case EraseControl::chkQuikErase: return IDC_CHKQUIKERASE;
    case EraseControl::cmdErase: return IDC_CMDERASE;
    case EraseControl::cmdCancel: return IDC_ERASECANCEL;
    case EraseControl::lblStatus: return IDC_LBLSTATUS;
    case EraseControl::prgEraseProgress: return IDC_PRGERASEPROGRESS;
    default: return 0;
  }
}

}  // namespace

HWND EraseDialog::Current() { return g_current; }

void EraseDialog::ShowErase(HINSTANCE instance, HWND owner, DiscDevice& device, DiscEngine& engine) {
  EraseDialog dialog(device, engine);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ERASE), owner, Proc, reinterpret_cast<LPARAM>(&dialog));
}

INT_PTR CALLBACK EraseDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    auto* self = reinterpret_cast<EraseDialog*>(lParam);
    self->window_ = window;
    g_current = window;
    app::WindowSkin::Active().Apply(window);
    SendMessageA(self->Item(EraseControl::prgEraseProgress), PBM_SETRANGE32, 0, 100);
    self->logic_.Load();
    return TRUE;
  }
  auto* self = reinterpret_cast<EraseDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_CMDERASE && HIWORD(wParam) == BN_CLICKED) self->logic_.Erase();
      if (LOWORD(wParam) == IDC_ERASECANCEL && HIWORD(wParam) == BN_CLICKED) self->logic_.CancelClicked();
      if (LOWORD(wParam) == IDCANCEL) self->Close();  // Esc and the close box
      return TRUE;
    case WM_CLOSE: self->Close(); return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          app::WindowSkin::Active().Colour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_DESTROY:
      if (g_current == window) g_current = nullptr;
      return FALSE;
  }
  return FALSE;
}

HWND EraseDialog::Item(EraseControl c) const {
  if (window_ == nullptr) return nullptr;
  return c == EraseControl::frmErase ? window_ : GetDlgItem(window_, IdOf(c));
}

std::string EraseDialog::Text(EraseControl c) const {
  HWND h = Item(c);
  return h ? app::WindowText(h) : "";
}

void EraseDialog::SetText(EraseControl c, const std::string& text) {
  if (HWND h = Item(c)) SetWindowTextA(h, text.c_str());
}

bool EraseDialog::Enabled(EraseControl c) const {
  HWND h = Item(c);
  return h != nullptr && IsWindowEnabled(h);
}

void EraseDialog::SetEnabled(EraseControl c, bool enabled) {
  if (HWND h = Item(c)) EnableWindow(h, enabled);
}

bool EraseDialog::Checked(EraseControl c) const {
  HWND h = Item(c);
  return h != nullptr && SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void EraseDialog::SetChecked(EraseControl c, bool checked) {
  if (HWND h = Item(c)) SendMessageA(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void EraseDialog::SetProgress(int value) {
  if (HWND h = Item(EraseControl::prgEraseProgress)) SendMessageA(h, PBM_SETPOS, value, 0);
}

// Closing: refused while an erase runs; otherwise the device is let go and the events stop.
void EraseDialog::Close() {
  if (window_ == nullptr || !logic_.CanClose()) return;
  logic_.Closing();
  EndDialog(window_, IDCANCEL);
}

}  // namespace quarnel::disc
