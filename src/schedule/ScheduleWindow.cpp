#include "schedule/ScheduleWindow.h"

#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "schedule/ScheduleResource.h"

namespace quarnel::schedule {
namespace {

using C = ScheduleControl;

constexpr int kPasswordLimit = 20;

struct ControlId {
  C control;
  int id;
};

constexpr ControlId kIds[] = {
    {C::cbSource, IDC_SCH_CBSOURCE},
    {C::txtTargetFile, IDC_SCH_TXTTARGETFILE},
    {C::cmdTargetFile, IDC_SCH_CMDTARGETFILE},
    {C::ifprotect, IDC_SCH_IFPROTECT},
    {C::txtPassword, IDC_SCH_TXTPASSWORD},
    {C::txtPassword2, IDC_SCH_TXTPASSWORD2},
    {C::cmbStartTime, IDC_SCH_CMBSTARTTIME},
    {C::chkMonday, IDC_SCH_CHKMONDAY + 0},
    {C::chkTuesday, IDC_SCH_CHKMONDAY + 1},
    {C::chkWednesday, IDC_SCH_CHKMONDAY + 2},
    {C::chkThursday, IDC_SCH_CHKMONDAY + 3},
    {C::chkFriday, IDC_SCH_CHKMONDAY + 4},
    {C::chkSaturday, IDC_SCH_CHKMONDAY + 5},
    {C::chkSunday, IDC_SCH_CHKMONDAY + 6},
    {C::chkDaily, IDC_SCH_CHKDAILY},
    {C::Command3, IDC_SCH_COMMAND3},
    {C::Command1, IDC_SCH_COMMAND1},
    {C::Command2, IDCANCEL},
};

ScheduleWindow* g_current = nullptr;

}  // namespace

void ScheduleWindow::ShowModal(HINSTANCE instance, HWND owner) {
  if (g_current != nullptr) {
    SetForegroundWindow(g_current->window_);
    return;
  }
  ScheduleWindow window;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_TASKSCHEDULER), owner, DialogProc, reinterpret_cast<LPARAM>(&window));
}

ScheduleWindow* ScheduleWindow::Current() { return g_current; }

INT_PTR CALLBACK ScheduleWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<ScheduleWindow*>(lParam);
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    self->OnInitDialog(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<ScheduleWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  return self != nullptr ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

void ScheduleWindow::OnInitDialog(HWND window) {
  window_ = window;
  g_current = this;
  SendMessageA(ControlHandle(C::txtPassword), EM_LIMITTEXT, kPasswordLimit, 0);
  app::WindowSkin::Active().Apply(window);
  logic_.Opening();
}

INT_PTR ScheduleWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
      auto dc = reinterpret_cast<HDC>(wParam);
      auto control = reinterpret_cast<HWND>(lParam);
      auto field = fieldColours_.find(control);
      if (field != fieldColours_.end() && message != WM_CTLCOLORDLG && message != WM_CTLCOLORBTN) {
        return reinterpret_cast<INT_PTR>(app::FieldBrush(dc, control, field->second));
      }
      return reinterpret_cast<INT_PTR>(app::WindowSkin::Active().Colour(message, dc, control));
    }
    case WM_SETCURSOR:
      if (!waiting_) return FALSE;
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_DESTROY:
      if (g_current == this) g_current = nullptr;
      fieldColours_.clear();
      return FALSE;
    default:
      return FALSE;
  }
}

void ScheduleWindow::OnCommand(int id, int notification) {
  if (id == IDC_SCH_CBSOURCE) {
    if (notification == CBN_SELCHANGE) logic_.IdentityChosen();
    return;
  }
  if (notification != BN_CLICKED) return;
  switch (id) {
    case IDC_SCH_CHKDAILY: logic_.DailyClicked(); break;
    case IDC_SCH_IFPROTECT: logic_.ProtectClicked(); break;
    case IDC_SCH_CMDTARGETFILE: logic_.BrowseClicked(); break;
    case IDC_SCH_COMMAND3: logic_.AddTaskClicked(); break;
    case IDC_SCH_COMMAND1: logic_.DisableTaskClicked(); break;
    case IDCANCEL: logic_.CancelClicked(); break;  // the Cancel button, Esc and the frame's close box
    default: break;  // Enter starts nothing by accident
  }
}

HWND ScheduleWindow::ControlHandle(ScheduleControl c) const {
  if (window_ == nullptr) return nullptr;
  for (const ControlId& entry : kIds) {
    if (entry.control == c) return GetDlgItem(window_, entry.id);
  }
  return nullptr;
}

HWND ScheduleWindow::ItemBox(int index) const {
  if (window_ == nullptr || index < 0 || index >= app::kItemCount) return nullptr;
  return GetDlgItem(window_, IDC_SCH_BACKUPITEM0 + index);
}

std::string ScheduleWindow::Text(ScheduleControl c) const { return app::ControlText(ControlHandle(c)); }

void ScheduleWindow::SetText(ScheduleControl c, const std::string& text) {
  app::SetControlText(ControlHandle(c), text);
}

bool ScheduleWindow::Enabled(ScheduleControl c) const {
  HWND h = ControlHandle(c);
  return h != nullptr && IsWindowEnabled(h);
}

void ScheduleWindow::SetEnabled(ScheduleControl c, bool enabled) {
  if (HWND h = ControlHandle(c)) {
    EnableWindow(h, enabled);
    InvalidateRect(h, nullptr, TRUE);
  }
}

bool ScheduleWindow::Checked(ScheduleControl c) const { return app::IsChecked(ControlHandle(c)); }

void ScheduleWindow::SetChecked(ScheduleControl c, bool checked) { app::SetCheck(ControlHandle(c), checked); }

void ScheduleWindow::SetFieldColour(ScheduleControl c, app::FieldColour colour) {
  if (HWND h = ControlHandle(c)) {
    fieldColours_[h] = colour;
    InvalidateRect(h, nullptr, TRUE);
  }
}

void ScheduleWindow::ClearList(ScheduleControl c) {
  if (HWND h = ControlHandle(c)) SendMessageA(h, CB_RESETCONTENT, 0, 0);
}

void ScheduleWindow::AddListItem(ScheduleControl c, const std::string& text) {
  if (HWND h = ControlHandle(c)) SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

int ScheduleWindow::ListIndex(ScheduleControl c) const {
  HWND h = ControlHandle(c);
  LRESULT index = h != nullptr ? SendMessageA(h, CB_GETCURSEL, 0, 0) : CB_ERR;
  return index < 0 ? -1 : static_cast<int>(index);
}

void ScheduleWindow::SetListIndex(ScheduleControl c, int index) {
  if (HWND h = ControlHandle(c)) SendMessageA(h, CB_SETCURSEL, index, 0);
}

bool ScheduleWindow::ItemChecked(int index) const { return app::IsChecked(ItemBox(index)); }

void ScheduleWindow::SetItemChecked(int index, bool checked) { app::SetCheck(ItemBox(index), checked); }

void ScheduleWindow::SetItemEnabled(int index, bool enabled) {
  if (HWND h = ItemBox(index)) EnableWindow(h, enabled);
}

std::optional<std::string> ScheduleWindow::SaveFileDialog(const app::FileDialogSpec& spec) {
  return app::FileDialog(window_, spec, true);
}

void ScheduleWindow::SetWaitCursor(bool waiting) {
  waiting_ = waiting;
  SetCursor(LoadCursor(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
}

void ScheduleWindow::Close() {
  if (window_ != nullptr) EndDialog(window_, IDCANCEL);
}

}  // namespace quarnel::schedule
