#include "exportui/ExportWindow.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "exportui/ExportResource.h"

namespace quarnel::exportui {
namespace {

// List view state images: none, an empty box, a ticked box.
constexpr UINT kNoBox = INDEXTOSTATEIMAGEMASK(0);
constexpr UINT kEmptyBox = INDEXTOSTATEIMAGEMASK(1);
constexpr UINT kTickedBox = INDEXTOSTATEIMAGEMASK(2);
constexpr int kIndentBlanks = 4;

ExportWindow* g_current = nullptr;

// What the export disables while it runs.
constexpr int kChoices[] = {IDC_EXP_FOLDERS, IDC_EXP_TARGET, IDC_EXP_BROWSE, IDC_EXP_EML, IDC_EXP_MBOX, IDOK};

}  // namespace

void ExportWindow::ShowModal(HINSTANCE instance, HWND owner, const std::string& backupPath,
                             const std::string& password) {
  if (g_current != nullptr) {
    SetForegroundWindow(g_current->window_);
    return;
  }
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  ExportWindow window(backupPath, password);
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_EXPORT), owner, DialogProc, reinterpret_cast<LPARAM>(&window));
}

ExportWindow* ExportWindow::Current() { return g_current; }

INT_PTR CALLBACK ExportWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  auto* self = reinterpret_cast<ExportWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  return self != nullptr ? self->HandleMessage(window, message, wParam, lParam) : FALSE;
}

INT_PTR ExportWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lParam);
      const bool refused = header->hwndFrom == list_ && header->code == LVN_ITEMCHANGING &&
                           RefusesChange(*reinterpret_cast<const NMLISTVIEW*>(lParam));
      SetWindowLongPtrA(window, DWLP_MSGRESULT, refused ? TRUE : FALSE);
      return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          app::WindowSkin::Active().Colour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_DESTROY:
      if (g_current == this) g_current = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

void ExportWindow::OnInitDialog(HWND window) {
  window_ = window;
  g_current = this;
  list_ = GetDlgItem(window, IDC_EXP_FOLDERS);
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT,
               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  RECT area;
  GetClientRect(list_, &area);
  LVCOLUMNA column = {};
  column.mask = LVCF_WIDTH;
  column.cx = area.right - GetSystemMetrics(SM_CXVSCROLL);
  SendMessageA(list_, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  SendDlgItemMessageA(window, IDC_EXP_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  app::WindowSkin::Active().Apply(window);
  logic_.Opening();
}

void ExportWindow::OnCommand(int id, int notification) {
  if (notification != BN_CLICKED) return;
  switch (id) {
    case IDC_EXP_BROWSE:
      logic_.BrowseClicked();
      break;
    case IDOK:
      logic_.ExportClicked();
      break;  // Export, and Enter
    case IDCANCEL:
      logic_.CloseClicked();
      break;  // Close (Cancel while running), Esc and the close box
    default:
      break;
  }
}

bool ExportWindow::RefusesChange(const NMLISTVIEW& change) const {
  if (filling_ || change.iItem < 0 || static_cast<std::size_t>(change.iItem) >= mailRows_.size()) return false;
  const bool boxChanges =
      (change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK);
  return boxChanges && (!mailRows_[static_cast<std::size_t>(change.iItem)] || logic_.Running());
}

void ExportWindow::ShowFolders(const std::vector<FolderRow>& rows) {
  filling_ = true;
  SendMessageA(list_, LVM_DELETEALLITEMS, 0, 0);
  mailRows_.clear();
  for (const FolderRow& row : rows) {
    std::string text = std::string(static_cast<std::size_t>(row.depth) * kIndentBlanks, ' ') + row.name;
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(mailRows_.size());
    item.pszText = text.data();
    const int at = static_cast<int>(SendMessageA(list_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    LVITEMA state = {};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = row.mailFolder ? kTickedBox : kNoBox;
    SendMessageA(list_, LVM_SETITEMSTATE, at, reinterpret_cast<LPARAM>(&state));
    mailRows_.push_back(row.mailFolder);
  }
  filling_ = false;
}

bool ExportWindow::FolderTicked(int row) const {
  return (SendMessageA(list_, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) == kTickedBox;
}

std::string ExportWindow::Target() const { return app::WindowText(GetDlgItem(window_, IDC_EXP_TARGET)); }

void ExportWindow::SetTarget(const std::string& folder) { SetDlgItemTextA(window_, IDC_EXP_TARGET, folder.c_str()); }

mailexport::ExportFormat ExportWindow::Format() const {
  return app::IsChecked(GetDlgItem(window_, IDC_EXP_MBOX)) ? mailexport::ExportFormat::kMbox
                                                           : mailexport::ExportFormat::kEml;
}

void ExportWindow::SetFormat(mailexport::ExportFormat format) {
  CheckRadioButton(window_, IDC_EXP_EML, IDC_EXP_MBOX,
                   format == mailexport::ExportFormat::kMbox ? IDC_EXP_MBOX : IDC_EXP_EML);
}

std::string ExportWindow::BrowseForFolder(const std::string& title) {
  // The newer picker, which can also make the folder.
  return app::BrowseForFolder(title, window_, BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE);
}

void ExportWindow::SetRunning(bool running) {
  HWND close = GetDlgItem(window_, IDCANCEL);
  // The focus leaves the buttons that go grey for the one that stops the export.
  if (running) SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close), TRUE);
  for (int id : kChoices) EnableWindow(GetDlgItem(window_, id), !running);
  SetWindowTextA(close, running ? "Cancel" : "Close");
}

void ExportWindow::ShowProgress(const std::string& text, int percent) {
  SetDlgItemTextA(window_, IDC_EXP_STATUS, text.c_str());
  SendDlgItemMessageA(window_, IDC_EXP_PROGRESS, PBM_SETPOS, percent, 0);
}

void ExportWindow::ShowSummary(const std::string& text) { SetDlgItemTextA(window_, IDC_EXP_SUMMARY, text.c_str()); }

void ExportWindow::PumpEvents() {
  app::PumpMessages([this](MSG& message) { return window_ != nullptr && IsDialogMessageA(window_, &message) != 0; });
}

void ExportWindow::Close() {
  if (window_ != nullptr) EndDialog(window_, IDCANCEL);
}

}  // namespace quarnel::exportui
