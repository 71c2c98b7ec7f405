#include "mainwindow/MainWindow.h"

#include <commctrl.h>

#include <vector>

#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "discwriter/DiscWriterDialog.h"
#include "exportui/ExportWindow.h"
#include "mainwindow/AboutWindow.h"
#include "mainwindow/Resource.h"
#include "platform/Services.h"
#include "prompt/PasswordPrompt.h"
#include "prompt/PasswordWindow.h"
#include "schedule/ScheduleWindow.h"
#include "settingsui/SettingsWindow.h"

namespace quarnel::app {
namespace {

// Posted at activation so that the logic's activation step runs after the window has
// finished activating, not inside WM_ACTIVATE.
constexpr UINT kActivatedMessage = WM_APP + 1;

constexpr int kPageCount = 4;
constexpr const char* kTabCaptions[kPageCount] = {"Backup", "Restore", "Logs", "About"};
constexpr int kPageTemplates[kPageCount] = {IDD_PAGE_BACKUP, IDD_PAGE_RESTORE, IDD_PAGE_LOGS, IDD_PAGE_ABOUT};

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, MainState& state) : instance_(instance), logic_(state, *this) {
  modalOpeners_[ModalWindow::About] = [this](HWND owner) { AboutWindow::ShowModal(instance_, owner); };
  modalOpeners_[ModalWindow::DiscWriter] = [this](HWND owner) {
    disc::DiscWriterDialog::ShowModal(instance_, owner, logic_.State().DiscWriterHandOver);
  };
  modalOpeners_[ModalWindow::TaskScheduler] = [this](HWND owner) {
    schedule::ScheduleWindow::ShowModal(instance_, owner);
  };
  modalOpeners_[ModalWindow::Settings] = [this](HWND owner) { settingsui::SettingsWindow::ShowModal(instance_, owner); };
  modalOpeners_[ModalWindow::Password] = [this](HWND owner) {
    prompt::PasswordWindow::ShowModal(instance_, owner, logic_.State().RestorePassword);
  };
  modalOpeners_[ModalWindow::MailExport] = [this](HWND owner) {
    exportui::ExportWindow::ShowModal(instance_, owner, logic_.State().BackupFilePath, logic_.State().RestorePassword);
  };
}

MainWindow::~MainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
  if (itemMenus_ != nullptr) DestroyMenu(itemMenus_);
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
}

bool MainWindow::Create() {
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_TAB_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  if (accelerators_ == nullptr) accelerators_ = LoadAcceleratorsA(instance_, MAKEINTRESOURCEA(IDR_ACCELERATORS));
  if (itemMenus_ == nullptr) itemMenus_ = LoadMenuA(instance_, MAKEINTRESOURCEA(IDR_ITEMMENUS));
  CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_MAIN), nullptr, MainProc, reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

void MainWindow::SetModalOpener(ModalWindow window, ModalOpener opener) { modalOpeners_[window] = std::move(opener); }

bool MainWindow::PreTranslate(MSG& message) {
  if (window_ == nullptr) return false;
  // Short-cuts only while the keyboard is in frmMain, not in a window it opened.
  if (message.hwnd == window_ || IsChild(window_, message.hwnd)) {
    if (accelerators_ != nullptr && TranslateAcceleratorA(window_, accelerators_, &message)) return true;
  }
  return IsDialogMessageA(window_, &message) != 0;
}

// ---- the message handler ----

INT_PTR CALLBACK MainWindow::MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  INT_PTR result = self->HandleMessage(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) SetWindowLongPtrA(window, DWLP_USER, 0);
  return result;
}

INT_PTR CALLBACK MainWindow::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    return FALSE;  // the focus stays where frmMain puts it
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CONTEXTMENU:
    case WM_SETCURSOR:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      return self->HandleMessage(window, message, wParam, lParam);
    default:
      return FALSE;
  }
}

INT_PTR MainWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(window);
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY: {
      INT_PTR result = OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_CONTEXTMENU:
      OnContextMenu(window, POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      return OnControlColour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR:
      if (!OnSetCursor()) return FALSE;
      SetWindowLongPtrA(window, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return FALSE;  // the dialog manager still saves and restores the focus
    case kActivatedMessage:
      logic_.Activated();
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return TRUE;
    default:
      return FALSE;
  }
}

void MainWindow::OnInitDialog(HWND window) {
  window_ = window;
  tabs_ = GetDlgItem(window, IDC_SSTAB1);

  bigIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_QUARNEL), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
  smallIcon_ = static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_QUARNEL), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

  for (int i = 0; i < kPageCount; ++i) {
    TCITEMA item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<char*>(kTabCaptions[i]);
    SendMessageA(tabs_, TCM_INSERTITEMA, i, reinterpret_cast<LPARAM>(&item));
  }

  // The skin comes first: whether the pages take the tab strip's themed background depends on it.
  if (std::optional<Skin> skin = LoadSkin(MainSkinPath(platform::System().ProgramFolder()))) {
    WindowSkin::Active().Use(*skin);
  } else {
    WindowSkin::Active().Clear();
  }
  CreatePages();
  LayoutPages();
  SendMessageA(tabs_, TCM_SETCURSEL, 0, 0);
  ShowPageControls(Page::Backup);

  // The password fields start disabled, in the grey of a field that takes no input. They
  // take no longer password than the prompt that asks for it when the backup is opened.
  for (Control field : {Control::txtPassword, Control::txtPassword2}) {
    fieldColours_[ControlHandle(field)] = FieldColour::ScrollBar;
    SendMessageA(ControlHandle(field), EM_LIMITTEXT, prompt::kPasswordMaxLength, 0);
  }

  WindowSkin::Active().Apply(window);
  logic_.Load();
}

void MainWindow::CreatePages() {
  for (int i = 0; i < kPageCount; ++i) {
    pages_[i] = CreateDialogParamA(instance_, MAKEINTRESOURCEA(kPageTemplates[i]), window_, PageProc,
                                   reinterpret_cast<LPARAM>(this));
  }
  progress_ = CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_PROGRESS), window_, PageProc,
                                 reinterpret_cast<LPARAM>(this));
  WindowSkin::MarkHeading(ControlHandle(Control::lblAboutTitle));
}

void MainWindow::LayoutPages() {
  LayOutTabPages(window_, tabs_, pages_, kPageCount);
  RECT area;
  GetWindowRect(pages_[0], &area);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
  // picCon3 covers the whole page while a job works, its contents in the middle.
  RECT panel;
  GetClientRect(progress_, &panel);
  int width = area.right - area.left;
  int height = area.bottom - area.top;
  int dx = (width - panel.right) / 2;
  int dy = (height - panel.bottom) / 2;
  SetWindowPos(progress_, HWND_TOP, area.left, area.top, width, height, SWP_NOACTIVATE);
  for (HWND child = GetWindow(progress_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, progress_, reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(child, nullptr, r.left + dx, r.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::ShowPageControls(Page page) { ShowTabPage(tabs_, pages_, kPageCount, static_cast<int>(page)); }

void MainWindow::StepPage(int delta) {
  int next = (static_cast<int>(CurrentPage()) + delta + kPageCount) % kPageCount;
  SendMessageA(tabs_, TCM_SETCURSEL, next, 0);
  ShowPageControls(static_cast<Page>(next));
  logic_.PageShown(static_cast<Page>(next));
}

void MainWindow::OnCommand(int id, int notification) {
  switch (id) {
    case IDM_BACKUP: logic_.Run(Command::Backup); return;
    case IDM_RESTORE: logic_.Run(Command::Restore); return;
    case IDM_EXPORTMAIL: logic_.Run(Command::ExportMail); return;
    case IDM_QUIT: logic_.Run(Command::Quit); return;
    case IDM_TASKSCHEDULER: logic_.Run(Command::TaskScheduler); return;
    case IDM_SETTINGS: logic_.Run(Command::Settings); return;
    case IDM_BACKUPTOCD: logic_.Run(Command::BackupToDisc); return;
    case IDM_HELP: logic_.Run(Command::Help); return;
    case IDM_WEBSITE: logic_.Run(Command::Website); return;
    case IDM_ABOUT: logic_.Run(Command::About); return;
    case IDM_SELECTALLITEMS: logic_.Run(Command::SelectAllItems); return;
    case IDM_UNSELECTALLITEMS: logic_.Run(Command::UnselectAllItems); return;
    case IDM_SELECTALLITEMS2: logic_.Run(Command::SelectAllItems2); return;
    case IDM_UNSELECTALLITEMS2: logic_.Run(Command::UnselectAllItems2); return;
    case IDM_NEXTPAGE: StepPage(1); return;
    case IDM_PREVIOUSPAGE: StepPage(-1); return;
  }
  if (notification == BN_CLICKED) {
    switch (id) {
      case IDC_CMDAPPLY: logic_.Run(Command::Apply); return;
      case IDC_CMDQUIT: logic_.Run(Command::Quit); return;
      case IDC_CMDABOUT: logic_.Run(Command::About); return;
      case IDC_CMDTARGETFILE: logic_.Run(Command::TargetFile); return;
      case IDC_CMDSOURCEFILE: logic_.Run(Command::SourceFile); return;
      case IDC_IFPROTECT: logic_.ProtectClicked(); return;
    }
  }
  if (notification == CBN_SELCHANGE) {
    if (id == IDC_CBSOURCE) logic_.SourceChosen();
    if (id == IDC_CBTARGET) logic_.TargetChosen();
  }
  // Enter and Esc (IDOK, IDCANCEL) do nothing here: no page action starts by accident.
}

INT_PTR MainWindow::OnNotify(const NMHDR& header) {
  if (header.hwndFrom == tabs_ && header.code == TCN_SELCHANGE) {
    Page page = CurrentPage();
    ShowPageControls(page);
    logic_.PageShown(page);
  }
  return 0;
}

std::optional<ItemSet> MainWindow::ItemFrameAt(POINT screen) const {
  const std::pair<ItemSet, HWND> frames[] = {
      {ItemSet::Backup, GetDlgItem(pages_[0], IDC_BACKUPFRAME)},
      {ItemSet::Restore, GetDlgItem(pages_[1], IDC_RESTOREFRAME)},
  };
  for (const auto& [set, frame] : frames) {
    RECT area;
    if (frame != nullptr && IsWindowVisible(frame) && GetWindowRect(frame, &area) && PtInRect(&area, screen)) {
      return set;
    }
  }
  return std::nullopt;
}

HMENU MainWindow::ItemMenu(ItemSet set) const {
  return itemMenus_ ? GetSubMenu(itemMenus_, set == ItemSet::Backup ? 0 : 1) : nullptr;
}

void MainWindow::OnContextMenu(HWND window, POINT screen) {
  std::optional<ItemSet> set;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: the frame that holds the focus, its menu at its top left corner.
    HWND focus = GetFocus();
    for (ItemSet candidate : {ItemSet::Backup, ItemSet::Restore}) {
      for (int i = 0; i < kItemCount; ++i) {
        if (focus != nullptr && focus == ItemBox(candidate, i)) set = candidate;
      }
    }
    if (!set) return;
    RECT area;
    GetWindowRect(GetDlgItem(pages_[*set == ItemSet::Backup ? 0 : 1],
                             *set == ItemSet::Backup ? IDC_BACKUPFRAME : IDC_RESTOREFRAME),
                  &area);
    screen = POINT{area.left + 8, area.top + 8};
  } else {
    set = ItemFrameAt(screen);
    if (!set) return;
  }
  HMENU menu = ItemMenu(*set);
  if (menu != nullptr) TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, window_, nullptr);
}

INT_PTR MainWindow::OnControlColour(UINT message, HDC dc, HWND control) {
  auto field = fieldColours_.find(control);
  if (field != fieldColours_.end() && (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC)) {
    return reinterpret_cast<INT_PTR>(FieldBrush(dc, control, field->second));
  }
  return reinterpret_cast<INT_PTR>(WindowSkin::Active().Colour(message, dc, control));
}

bool MainWindow::OnSetCursor() {
  if (!waiting_) return false;
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  return true;
}

void MainWindow::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) != WA_INACTIVE) PostMessageA(window_, kActivatedMessage, 0, 0);
}

void MainWindow::OnClose() { logic_.Run(Command::Quit); }

void MainWindow::OnDestroy() {
  // Nothing typed into the password fields outlives the window.
  for (Control field : {Control::txtPassword, Control::txtPassword2}) {
    if (HWND h = ControlHandle(field)) SetWindowTextA(h, "");
  }
  window_ = nullptr;
  tabs_ = nullptr;
  for (HWND& page : pages_) page = nullptr;
  progress_ = nullptr;
  fieldColours_.clear();
  if (bigIcon_ != nullptr) DestroyIcon(bigIcon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
  bigIcon_ = smallIcon_ = nullptr;
}

}  // namespace quarnel::app
