#include "mainwindow/AboutWindow.h"

#include "app/Skin.h"
#include "mainwindow/MainWindowLogic.h"
#include "mainwindow/Resource.h"
#include "platform/Services.h"

namespace quarnel::app {
namespace {

HWND g_current = nullptr;

void OnInitDialog(HWND window) {
  g_current = window;
  SetDlgItemTextA(window, IDC_ABOUTWEBSITE, kWebsite);
  WindowSkin::MarkHeading(GetDlgItem(window, IDC_ABOUTNAME));
  WindowSkin::Active().Apply(window);
}

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      auto dc = reinterpret_cast<HDC>(wParam);
      auto control = reinterpret_cast<HWND>(lParam);
      if (control == GetDlgItem(window, IDC_ABOUTWEBSITE)) {
        // Looks like a link, and is one.
        HBRUSH brush = WindowSkin::Active().Colour(message, dc, control);
        const Skin& skin = WindowSkin::Active().Current();
        SetTextColor(dc, skin.heading ? RGB(skin.heading->red, skin.heading->green, skin.heading->blue)
                                      : RGB(0x00, 0x33, 0x99));
        if (brush == nullptr) {
          SetBkMode(dc, TRANSPARENT);
          brush = GetSysColorBrush(COLOR_BTNFACE);
        }
        return reinterpret_cast<INT_PTR>(brush);
      }
      return reinterpret_cast<INT_PTR>(WindowSkin::Active().Colour(message, dc, control));
    }
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wParam) == GetDlgItem(window, IDC_ABOUTWEBSITE)) {
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(window, LOWORD(wParam));
          return TRUE;
        case IDC_ABOUTWEBSITE:
          if (HIWORD(wParam) == STN_CLICKED) platform::Procs().ShellOpen(kWebsite);
          return TRUE;
      }
      return FALSE;
    case WM_DESTROY:
      if (g_current == window) g_current = nullptr;
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void AboutWindow::ShowModal(HINSTANCE instance, HWND owner) {
  if (g_current != nullptr) {
    SetForegroundWindow(g_current);
    return;
  }
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}

HWND AboutWindow::Current() { return g_current; }

void AboutWindow::Close() {
  if (g_current != nullptr) EndDialog(g_current, IDCANCEL);
}

}  // namespace quarnel::app
