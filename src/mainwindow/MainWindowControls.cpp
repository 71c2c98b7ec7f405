// MainView over frmMain's controls: what the logic and the jobs read and change of the window.
#include "mainwindow/MainWindow.h"

#include <commctrl.h>

#include <iterator>

#include "app/Win32Controls.h"
#include "mainwindow/AboutWindow.h"
#include "mainwindow/Resource.h"

namespace quarnel::app {
namespace {

// Where a control lives: on frmMain itself (-1), on a page (0 to 3) or on picCon3 (4).
constexpr int kOnMain = -1;
constexpr int kOnProgress = 4;

struct ControlPlace {
  Control control;
  int holder;
  int id;
};

constexpr ControlPlace kPlaces[] = {
    {Control::cbSource, 0, IDC_CBSOURCE},
    {Control::txtTargetFile, 0, IDC_TXTTARGETFILE},
    {Control::cmdTargetFile, 0, IDC_CMDTARGETFILE},
    {Control::txtAttachInfo, 0, IDC_TXTATTACHINFO},
    {Control::ifprotect, 0, IDC_IFPROTECT},
    {Control::txtPassword, 0, IDC_TXTPASSWORD},
    {Control::txtPassword2, 0, IDC_TXTPASSWORD2},
    {Control::cbTarget, 1, IDC_CBTARGET},
    {Control::txtSourceFile, 1, IDC_TXTSOURCEFILE},
    {Control::cmdSourceFile, 1, IDC_CMDSOURCEFILE},
    {Control::txtFileInfo, 1, IDC_TXTFILEINFO},
    {Control::txtPOBinfo, 1, IDC_TXTPOBINFO},
    {Control::List1, 2, IDC_LIST1},
    {Control::lblAboutTitle, 3, IDC_LBLABOUTTITLE},
    {Control::cmdApply, kOnMain, IDC_CMDAPPLY},
    {Control::cmdQuit, kOnMain, IDC_CMDQUIT},
    {Control::cmdAbout, kOnMain, IDC_CMDABOUT},
    {Control::Label1, kOnProgress, IDC_LABEL1},
    {Control::SkinLabel11, kOnProgress, IDC_SKINLABEL11},
    {Control::SkinLabel12, kOnProgress, IDC_SKINLABEL12},
    {Control::pbshow, kOnProgress, IDC_PBSHOW},
};

bool IsCombo(Control c) { return c == Control::cbSource || c == Control::cbTarget; }

}  // namespace

HWND MainWindow::ControlHandle(Control c) const {
  if (window_ == nullptr) return nullptr;
  if (c == Control::frmMain) return window_;
  if (c == Control::picCon3) return progress_;
  for (const ControlPlace& place : kPlaces) {
    if (place.control != c) continue;
    HWND holder = place.holder == kOnMain ? window_ : place.holder == kOnProgress ? progress_ : pages_[place.holder];
    return holder ? GetDlgItem(holder, place.id) : nullptr;
  }
  return nullptr;
}

HWND MainWindow::ItemBox(ItemSet set, int index) const {
  if (index < 0 || index >= kItemCount || window_ == nullptr) return nullptr;
  return set == ItemSet::Backup ? GetDlgItem(pages_[0], IDC_BACKUPITEM0 + index)
                                : GetDlgItem(pages_[1], IDC_RESTOREITEM0 + index);
}

std::string MainWindow::Text(Control c) const { return ControlText(ControlHandle(c)); }

void MainWindow::SetText(Control c, const std::string& text) { SetControlText(ControlHandle(c), text); }

bool MainWindow::Enabled(Control c) const {
  HWND h = ControlHandle(c);
  return h != nullptr && IsWindowEnabled(h);
}

void MainWindow::SetEnabled(Control c, bool enabled) {
  if (HWND h = ControlHandle(c)) {
    EnableWindow(h, enabled);
    InvalidateRect(h, nullptr, TRUE);
  }
}

bool MainWindow::Visible(Control c) const {
  HWND h = ControlHandle(c);
  // The control's own flag: a control on a page that is not shown is still "visible".
  return h != nullptr && (GetWindowLongPtrA(h, GWL_STYLE) & WS_VISIBLE) != 0;
}

void MainWindow::SetVisible(Control c, bool visible) {
  HWND h = ControlHandle(c);
  if (h == nullptr) return;
  if (c == Control::frmMain) {
    ShowWindow(h, visible ? SW_SHOW : SW_HIDE);
    return;
  }
  if (visible && c == Control::picCon3) SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(h, visible ? SW_SHOWNA : SW_HIDE);
}

bool MainWindow::Checked(Control c) const {
  HWND h = ControlHandle(c);
  return h != nullptr && SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetChecked(Control c, bool checked) {
  if (HWND h = ControlHandle(c)) SendMessageA(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::SetFieldColour(Control c, FieldColour colour) {
  if (HWND h = ControlHandle(c)) {
    fieldColours_[h] = colour;
    InvalidateRect(h, nullptr, TRUE);
  }
}

void MainWindow::Redraw(Control c) {
  if (HWND h = ControlHandle(c)) {
    RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }
}

void MainWindow::ClearList(Control c) {
  HWND h = ControlHandle(c);
  if (h == nullptr) return;
  if (IsCombo(c)) {
    SendMessageA(h, CB_RESETCONTENT, 0, 0);
  } else {
    SendMessageA(h, LB_RESETCONTENT, 0, 0);
    SendMessageA(h, LB_SETHORIZONTALEXTENT, 0, 0);
  }
}

void MainWindow::AddListItem(Control c, const std::string& text) {
  HWND h = ControlHandle(c);
  if (h == nullptr) return;
  if (IsCombo(c)) {
    SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return;
  }
  SendMessageA(h, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  // Long log lines scroll sideways rather than being cut.
  HDC dc = GetDC(h);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
  SIZE size = {};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(h, dc);
  LRESULT extent = SendMessageA(h, LB_GETHORIZONTALEXTENT, 0, 0);
  if (size.cx + 8 > extent) SendMessageA(h, LB_SETHORIZONTALEXTENT, size.cx + 8, 0);
}

int MainWindow::ListCount(Control c) const {
  HWND h = ControlHandle(c);
  if (h == nullptr) return 0;
  LRESULT n = SendMessageA(h, IsCombo(c) ? CB_GETCOUNT : LB_GETCOUNT, 0, 0);
  return n < 0 ? 0 : static_cast<int>(n);
}

std::string MainWindow::ListItem(Control c, int index) const {
  HWND h = ControlHandle(c);
  if (h == nullptr) return "";
  bool combo = IsCombo(c);
  LRESULT length = SendMessageA(h, combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN, index, 0);
  if (length < 0) return "";
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  LRESULT copied = SendMessageA(h, combo ? CB_GETLBTEXT : LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
  return copied < 0 ? std::string() : std::string(buffer.data(), static_cast<std::size_t>(copied));
}

int MainWindow::ListIndex(Control c) const {
  HWND h = ControlHandle(c);
  if (h == nullptr) return -1;
  LRESULT index = SendMessageA(h, IsCombo(c) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
  return index < 0 ? -1 : static_cast<int>(index);
}

void MainWindow::SetListIndex(Control c, int index) {
  if (HWND h = ControlHandle(c)) SendMessageA(h, IsCombo(c) ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
}

bool MainWindow::ItemChecked(ItemSet set, int index) const {
  HWND h = ItemBox(set, index);
  return h != nullptr && SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetItemChecked(ItemSet set, int index, bool checked) {
  if (HWND h = ItemBox(set, index)) SendMessageA(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool MainWindow::ItemEnabled(ItemSet set, int index) const {
  HWND h = ItemBox(set, index);
  return h != nullptr && IsWindowEnabled(h);
}

void MainWindow::SetItemEnabled(ItemSet set, int index, bool enabled) {
  if (HWND h = ItemBox(set, index)) EnableWindow(h, enabled);
}

void MainWindow::SetProgressRange(int minimum, int maximum) {
  if (HWND h = ControlHandle(Control::pbshow)) SendMessageA(h, PBM_SETRANGE32, minimum, maximum);
}

void MainWindow::SetProgress(int value) {
  if (HWND h = ControlHandle(Control::pbshow)) SendMessageA(h, PBM_SETPOS, value, 0);
}

int MainWindow::Progress() const {
  HWND h = ControlHandle(Control::pbshow);
  return h != nullptr ? static_cast<int>(SendMessageA(h, PBM_GETPOS, 0, 0)) : 0;
}

Page MainWindow::CurrentPage() const {
  LRESULT index = tabs_ != nullptr ? SendMessageA(tabs_, TCM_GETCURSEL, 0, 0) : 0;
  return index >= 0 && index < static_cast<LRESULT>(std::size(pages_)) ? static_cast<Page>(index) : Page::Backup;
}

void MainWindow::ShowPage(Page page) {
  if (tabs_ == nullptr) return;
  SendMessageA(tabs_, TCM_SETCURSEL, static_cast<int>(page), 0);
  ShowPageControls(page);
}

void MainWindow::SetWaitCursor(bool waiting) {
  waiting_ = waiting;
  SetCursor(LoadCursor(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::PumpEvents() {
  PumpMessages([this](MSG& message) { return PreTranslate(message); });
}

void MainWindow::Pause(int milliseconds) { Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0); }

std::optional<std::string> MainWindow::OpenFileDialog(const FileDialogSpec& spec) {
  return FileDialog(window_, spec, false);
}

std::optional<std::string> MainWindow::SaveFileDialog(const FileDialogSpec& spec) {
  return FileDialog(window_, spec, true);
}

std::string MainWindow::BrowseForFolder(const std::string& title, std::uint32_t flags) {
  return app::BrowseForFolder(title, window_, flags);
}

void MainWindow::ShowModal(ModalWindow window) {
  auto opener = modalOpeners_.find(window);
  if (opener != modalOpeners_.end() && opener->second) opener->second(window_);
}

void MainWindow::HideWindow() {
  if (window_ != nullptr) ShowWindow(window_, SW_HIDE);
}

void MainWindow::Quit() {
  AboutWindow::Close();
  if (window_ != nullptr) DestroyWindow(window_);
  PostQuitMessage(ExitCode());
}

}  // namespace quarnel::app
