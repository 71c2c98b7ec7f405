#include "settingsui/SettingsWindow.h"

#include <commctrl.h>

#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "settingsui/SettingsResource.h"

namespace quarnel::settingsui {
namespace {

using C = SettingsControl;

constexpr const char* kTabCaptions[SettingsWindow::kPageCount] = {"General", "Backup", " Scheduled Backup"};
constexpr int kPageTemplates[SettingsWindow::kPageCount] = {IDD_SETTINGS_GENERAL, IDD_SETTINGS_BACKUP,
                                                            IDD_SETTINGS_SCHEDULED};

struct ControlPlace {
  C control;
  int page;
  int id;
};

constexpr ControlPlace kPlaces[] = {
    {C::Check1, 0, IDC_SET_CHECK1 + 0}, {C::Check2, 0, IDC_SET_CHECK1 + 1}, {C::Check3, 0, IDC_SET_CHECK1 + 2},
    {C::Check4, 1, IDC_SET_CHECK1 + 3}, {C::Check5, 1, IDC_SET_CHECK1 + 4}, {C::Check6, 0, IDC_SET_CHECK1 + 5},
    {C::Check7, 0, IDC_SET_CHECK1 + 6}, {C::Check8, 1, IDC_SET_CHECK1 + 7}, {C::Text1, 1, IDC_SET_TEXT1},
    {C::Option1, 2, IDC_SET_OPTION1},   {C::Option2, 2, IDC_SET_OPTION2},
};

// The shell's own folder picture for the folder button.
constexpr int kShellFolderIcon = 4;

SettingsWindow* g_current = nullptr;

}  // namespace

void SettingsWindow::ShowModal(HINSTANCE instance, HWND owner) {
  if (g_current != nullptr) {
    SetForegroundWindow(g_current->window_);
    return;
  }
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_TAB_CLASSES};
  InitCommonControlsEx(&classes);
  SettingsWindow window(instance);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETTINGS), owner, DialogProc, reinterpret_cast<LPARAM>(&window));
}

SettingsWindow* SettingsWindow::Current() { return g_current; }

INT_PTR CALLBACK SettingsWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  auto* self = reinterpret_cast<SettingsWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  return self != nullptr ? self->HandleMessage(window, message, wParam, lParam) : FALSE;
}

INT_PTR SettingsWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE) {
        app::ShowTabPage(tabs_, pages_, kPageCount, static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)));
      }
      return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          app::WindowSkin::Active().Colour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_DESTROY:
      if (g_current == this) g_current = nullptr;
      if (folderIcon_ != nullptr) DestroyIcon(folderIcon_);
      folderIcon_ = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void SettingsWindow::OnInitDialog(HWND window) {
  window_ = window;
  g_current = this;
  tabs_ = GetDlgItem(window, IDC_SET_SSTAB1);
  for (int i = 0; i < kPageCount; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(kTabCaptions[i]);
    SendMessageA(tabs_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
    pages_[i] = CreateDialogParamA(instance_, MAKEINTRESOURCEA(kPageTemplates[i]), window, app::ForwardingPageProc, 0);
  }
  app::LayOutTabPages(window, tabs_, pages_, kPageCount);
  SendMessageA(tabs_, TCM_SETCURSEL, 0, 0);
  app::ShowTabPage(tabs_, pages_, kPageCount, 0);

  HWND folderButton = GetDlgItem(pages_[1], IDC_SET_COMMAND1);
  folderIcon_ = static_cast<HICON>(LoadImageA(GetModuleHandleA("shell32.dll"), MAKEINTRESOURCEA(kShellFolderIcon),
                                              IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), 0));
  if (folderIcon_ != nullptr) {
    SendMessageA(folderButton, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(folderIcon_));
  } else {
    SetWindowLongPtrA(folderButton, GWL_STYLE, GetWindowLongPtrA(folderButton, GWL_STYLE) & ~BS_ICON);
    SetWindowTextA(folderButton, "...");
  }

  app::WindowSkin::Active().Apply(window);
  logic_.Opening();
}

void SettingsWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  switch (id) {
    case IDC_SET_COMMAND1: logic_.FolderClicked(); break;
    case IDOK: logic_.OkClicked(); break;          // Command2, and Enter
    case IDCANCEL: logic_.CancelClicked(); break;  // Command3, Esc and the frame's close box
    default: break;
  }
}

HWND SettingsWindow::ControlHandle(SettingsControl c) const {
  for (const ControlPlace& place : kPlaces) {
    if (place.control == c) return pages_[place.page] ? GetDlgItem(pages_[place.page], place.id) : nullptr;
  }
  return nullptr;
}

std::string SettingsWindow::Text(SettingsControl c) const { return app::ControlText(ControlHandle(c)); }

void SettingsWindow::SetText(SettingsControl c, const std::string& text) {
  app::SetControlText(ControlHandle(c), text);
}

bool SettingsWindow::Checked(SettingsControl c) const { return app::IsChecked(ControlHandle(c)); }

void SettingsWindow::SetChecked(SettingsControl c, bool checked) { app::SetCheck(ControlHandle(c), checked); }

std::string SettingsWindow::BrowseForFolder(const std::string& title, std::uint32_t flags) {
  return app::BrowseForFolder(title, window_, flags);
}

void SettingsWindow::Close() {
  if (window_ != nullptr) EndDialog(window_, IDCANCEL);
}

}  // namespace quarnel::settingsui
