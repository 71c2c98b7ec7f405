#include "discwriter/DiscWriterDialog.h"

#include <shellapi.h>

#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "discwriter/DiscResource.h"
#include "discwriter/EraseDialog.h"
#include "discwriter/Imapi2Drives.h"

namespace quarnel::disc {
namespace {

// Posted when the engine has accepted work; the work then runs from this window's loop.
constexpr UINT kRunPendingMessage = WM_APP + 40;

DiscWriterDialog* g_current = nullptr;

struct ControlId {
  WriterControl control;
  int id;
};
constexpr ControlId kIds[] = {
    {WriterControl::cboDevices, IDC_CBODEVICES},
    {WriterControl::cboWriteSpeed, IDC_CBOWRITESPEED},
    {WriterControl::cboVolumeType, IDC_CBOVOLUMETYPE},
    {WriterControl::txtVolIdentifier, IDC_TXTVOLIDENTIFIER},
    {WriterControl::chkUseBufferProtect, IDC_CHKUSEBUFFERPROTECT},
    {WriterControl::chkCacheImage, IDC_CHKCACHEIMAGE},
    {WriterControl::chkFinalizeDisc, IDC_CHKFINALIZEDISC},
    {WriterControl::chkTestWrite, IDC_CHKTESTWRITE},
    {WriterControl::chkAutoVerify, IDC_CHKAUTOVERIFY},
    {WriterControl::chkUseMode2XA, IDC_CHKUSEMODE2XA},
    {WriterControl::chkUseFileDates, IDC_CHKUSEFILEDATES},
    {WriterControl::chkDiscAtOnce, IDC_CHKDISCATONCE},
    {WriterControl::cmdWriteDisc, IDC_CMDWRITEDISC},
    {WriterControl::cmdCancel, IDC_CMDCANCEL},
    {WriterControl::tvwFolders, IDC_TVWFOLDERS},
    {WriterControl::lvwImageFiles, IDC_LVWIMAGEFILES},
    {WriterControl::prgTotalProgress, IDC_PRGTOTALPROGRESS},
};

constexpr int kMenuIds[kFileMenuEntries] = {IDM_FILECLEAR,        IDM_FILESEP1,       IDM_FILEREMOVEFOLDER,
                                            IDM_FILERENAMEFOLDER, IDM_FILEREMOVEFILE, IDM_FILERENAMEFILE,
                                            IDM_FILESEP4,         IDM_FILEEXIT};
constexpr const char* kIconKeys[] = {"CD", "CLOSEDFOLDER", "OPENFOLDER", "FILE"};

bool IsCombo(WriterControl c) {
  return c == WriterControl::cboDevices || c == WriterControl::cboWriteSpeed || c == WriterControl::cboVolumeType;
}

// A small icon drawn here, for the disc and for anything the shell cannot give.
HICON DrawnIcon(bool disc) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP colour = CreateCompatibleBitmap(screen, 16, 16);
  HBITMAP mask = CreateBitmap(16, 16, 1, 1, nullptr);
  HGDIOBJ old = SelectObject(dc, mask);
  PatBlt(dc, 0, 0, 16, 16, WHITENESS);
  SelectObject(dc, GetStockObject(BLACK_BRUSH));
  if (disc) {
    Ellipse(dc, 0, 0, 16, 16);
  } else {
    Rectangle(dc, 1, 3, 15, 14);
  }
  SelectObject(dc, colour);
  PatBlt(dc, 0, 0, 16, 16, BLACKNESS);
  HBRUSH fill = CreateSolidBrush(disc ? RGB(0xC0, 0xC8, 0xD8) : RGB(0xF0, 0xD0, 0x60));
  HGDIOBJ oldBrush = SelectObject(dc, fill);
  if (disc) {
    Ellipse(dc, 0, 0, 16, 16);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Ellipse(dc, 6, 6, 10, 10);
  } else {
    Rectangle(dc, 1, 3, 15, 14);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, old);
  DeleteObject(fill);
  ICONINFO info = {TRUE, 0, 0, mask, colour};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return icon;
}

HICON ShellIcon(DWORD attributes, UINT extra) {
  SHFILEINFOA info = {};
  SHGetFileInfoA(attributes & FILE_ATTRIBUTE_DIRECTORY ? "folder" : "file.soe", attributes, &info, sizeof info,
                 SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON | extra);
  return info.hIcon;
}

}  // namespace

DiscWriterDialog* DiscWriterDialog::Current() { return g_current; }

void DiscWriterDialog::ShowModal(HINSTANCE instance, HWND owner, app::DiscHandOver& handOver) {
  DiscWriterDialog dialog(instance, handOver);
  dialog.modal_ = true;
  DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_DISCWRITER), owner, Proc, reinterpret_cast<LPARAM>(&dialog));
}

DiscWriterDialog::DiscWriterDialog(HINSTANCE instance, app::DiscHandOver& handOver)
    : instance_(instance), handOver_(handOver), engine_(FindImapi2Drives) {}

DiscWriterDialog::~DiscWriterDialog() {
  if (window_ != nullptr && !modal_) DestroyWindow(window_);
  logic_.reset();
  if (images_ != nullptr) ImageList_Destroy(images_);
  if (g_current == this) g_current = nullptr;
}

bool DiscWriterDialog::Create(HWND owner) {
  CreateDialogParamA(instance_, MAKEINTRESOURCEA(IDD_DISCWRITER), owner, Proc, reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

INT_PTR CALLBACK DiscWriterDialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    reinterpret_cast<DiscWriterDialog*>(lParam)->OnInitDialog(window);
    return TRUE;
  }
  auto* self = reinterpret_cast<DiscWriterDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  if (self == nullptr) return FALSE;
  INT_PTR result = self->Handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(window, DWLP_USER, 0);
    self->window_ = nullptr;
  }
  return result;
}

INT_PTR DiscWriterDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_NOTIFY: {
      INT_PTR result = OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_DROPFILES: OnDropFiles(reinterpret_cast<HDROP>(wParam)); return TRUE;
    case kRunPendingMessage: engine_.RunPending(); return TRUE;
    case WM_SETCURSOR:
      if (!waiting_) return FALSE;
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      SetWindowLongPtrA(window_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return reinterpret_cast<INT_PTR>(
          app::WindowSkin::Active().Colour(message, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_CLOSE: OnClose(); return TRUE;
    case WM_DESTROY:
      if (g_current == this) g_current = nullptr;
      return FALSE;
    default: return FALSE;
  }
}

void DiscWriterDialog::OnInitDialog(HWND window) {
  window_ = window;
  INITCOMMONCONTROLSEX classes = {sizeof classes,
                                  ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  app::WindowSkin::Active().Apply(window);
  HWND status = GetDlgItem(window, IDC_SBRSTATUS);
  int parts[] = {360, 480, -1};
  SendMessageA(status, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
  SendMessageA(Control(WriterControl::prgTotalProgress), PBM_SETRANGE32, 0, 100);
  SendMessageA(Control(WriterControl::txtVolIdentifier), EM_LIMITTEXT, 32, 0);
  HWND list = Control(WriterControl::lvwImageFiles);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  const std::pair<const char*, int> columns[] = {{"File Name", 200}, {"Size", 90}, {"Date", 140}};
  for (int i = 0; i < 3; ++i) {
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = i == 1 ? LVCFMT_RIGHT : LVCFMT_LEFT;
    column.cx = columns[i].second;
    column.pszText = const_cast<char*>(columns[i].first);
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  MakeImageList();
  DragAcceptFiles(window, TRUE);
  engine_.SetWakeUp([this] { PostMessageA(window_, kRunPendingMessage, 0, 0); });
  logic_ = std::make_unique<WriterLogic>(*this, engine_, handOver_);
  logic_->Load();
  g_current = this;  // open once loaded
}

void DiscWriterDialog::MakeImageList() {
  images_ = ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 4, 0);
  HICON icons[] = {DrawnIcon(true), ShellIcon(FILE_ATTRIBUTE_DIRECTORY, 0),
                   ShellIcon(FILE_ATTRIBUTE_DIRECTORY, SHGFI_OPENICON), ShellIcon(FILE_ATTRIBUTE_NORMAL, 0)};
  for (HICON& icon : icons) {
    if (icon == nullptr) icon = DrawnIcon(false);
    ImageList_AddIcon(images_, icon);
    DestroyIcon(icon);
  }
  SendMessageA(Control(WriterControl::tvwFolders), TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_));
  SendMessageA(Control(WriterControl::lvwImageFiles), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(images_));
  // The list must not destroy the tree's image list with itself.
  SetWindowLongPtrA(Control(WriterControl::lvwImageFiles), GWL_STYLE,
                    GetWindowLongPtrA(Control(WriterControl::lvwImageFiles), GWL_STYLE) | LVS_SHAREIMAGELISTS);
}

int DiscWriterDialog::IconIndex(const std::string& key) const {
  for (int i = 0; i < 4; ++i) {
    if (key == kIconKeys[i]) return i;
  }
  return 3;
}

void DiscWriterDialog::OnCommand(int id, int notification) {
  switch (id) {
    case IDM_FILECLEAR: logic_->Run(WriterCommand::ClearAll); return;
    case IDM_FILEREMOVEFOLDER: logic_->Run(WriterCommand::RemoveFolder); return;
    case IDM_FILERENAMEFOLDER: logic_->Run(WriterCommand::RenameFolder); return;
    case IDM_FILEREMOVEFILE: logic_->Run(WriterCommand::RemoveFile); return;
    case IDM_FILERENAMEFILE: logic_->Run(WriterCommand::RenameFile); return;
    case IDM_FILEEXIT: logic_->Run(WriterCommand::Exit); return;
    case IDM_DEVICEEJECT: logic_->Run(WriterCommand::Eject); return;
    case IDM_DEVICECLOSETRAY: logic_->Run(WriterCommand::CloseTray); return;
    case IDM_DEVICEERASE: logic_->Run(WriterCommand::EraseDisc); return;
    case IDCANCEL: OnClose(); return;  // Esc and the frame's close box
  }
  if (notification == BN_CLICKED) {
    if (id == IDC_CMDWRITEDISC) logic_->Run(WriterCommand::WriteDisc);
    if (id == IDC_CMDCANCEL) logic_->Run(WriterCommand::Cancel);
    if (id == IDC_CHKUSEFILEDATES) logic_->UseFileDatesChanged();
  }
  if (notification == CBN_SELCHANGE && id == IDC_CBODEVICES) logic_->DeviceChosen();
  if (notification == EN_CHANGE && id == IDC_TXTVOLIDENTIFIER && logic_) logic_->VolumeIdChanged();
}

INT_PTR DiscWriterDialog::OnNotify(const NMHDR& header) {
  if (header.idFrom == IDC_TVWFOLDERS) {
    switch (header.code) {
      case TVN_SELCHANGEDA:
      case TVN_SELCHANGEDW:
        if (std::optional<std::string> key = SelectedNode()) logic_->NodeClicked(*key);
        return 0;
      case TVN_BEGINLABELEDITA:
      case TVN_BEGINLABELEDITW: return logic_->BeforeTreeLabelEdit() ? FALSE : TRUE;
      case TVN_ENDLABELEDITA: {
        const auto& edit = reinterpret_cast<const NMTVDISPINFOA&>(header);
        return logic_->TreeLabelEdited(edit.item.pszText ? std::optional<std::string>(edit.item.pszText)
                                                         : std::nullopt);
      }
      case NM_RCLICK: logic_->ContextMenu(ImageView::Tree); return TRUE;
    }
  }
  if (header.idFrom == IDC_LVWIMAGEFILES) {
    switch (header.code) {
      case LVN_ENDLABELEDITA: {
        const auto& edit = reinterpret_cast<const NMLVDISPINFOA&>(header);
        logic_->ListLabelEdited(edit.item.pszText ? std::optional<std::string>(edit.item.pszText) : std::nullopt);
        return FALSE;  // the list is filled anew from the image
      }
      case NM_RCLICK: logic_->ContextMenu(ImageView::List); return TRUE;
    }
  }
  return 0;
}

void DiscWriterDialog::OnDropFiles(HDROP drop) {
  // Only drops on the two views count.
  POINT at = {};
  DragQueryPoint(drop, &at);
  HWND target = ChildWindowFromPointEx(window_, at, CWP_SKIPINVISIBLE);
  bool onView = target == Control(WriterControl::tvwFolders) || target == Control(WriterControl::lvwImageFiles);
  std::vector<std::string> paths;
  UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = DragQueryFileA(drop, i, nullptr, 0);
    std::string path(length + 1, '\0');
    DragQueryFileA(drop, i, path.data(), length + 1);
    path.resize(length);
    paths.push_back(path);
  }
  DragFinish(drop);
  if (onView && IsWindowEnabled(Control(WriterControl::tvwFolders))) logic_->Dropped(true, paths);
}

void DiscWriterDialog::OnClose() {
  if (!logic_->CanClose()) return;
  logic_->Closing();
  if (modal_) {
    EndDialog(window_, IDCANCEL);
  } else {
    DestroyWindow(window_);
  }
}

// ---- controls ----

HWND DiscWriterDialog::Control(WriterControl c) const {
  if (window_ == nullptr) return nullptr;
  if (c == WriterControl::frmMaindvdwrite) return window_;
  for (const ControlId& entry : kIds) {
    if (entry.control == c) return GetDlgItem(window_, entry.id);
  }
  return nullptr;
}

std::string DiscWriterDialog::Text(WriterControl c) const {
  HWND h = Control(c);
  return h ? app::WindowText(h) : "";
}

void DiscWriterDialog::SetText(WriterControl c, const std::string& text) {
  if (HWND h = Control(c)) SetWindowTextA(h, text.c_str());
}

bool DiscWriterDialog::Enabled(WriterControl c) const {
  if (c == WriterControl::mnuFile || c == WriterControl::mnuDevice) {
    UINT state = GetMenuState(GetMenu(window_), c == WriterControl::mnuFile ? 0 : 1, MF_BYPOSITION);
    return (state & (MF_GRAYED | MF_DISABLED)) == 0;
  }
  HWND h = Control(c);
  return h != nullptr && IsWindowEnabled(h);
}

void DiscWriterDialog::SetEnabled(WriterControl c, bool enabled) {
  if (c == WriterControl::mnuFile || c == WriterControl::mnuDevice) {
    EnableMenuItem(GetMenu(window_), c == WriterControl::mnuFile ? 0 : 1,
                   MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(window_);
    return;
  }
  if (HWND h = Control(c)) EnableWindow(h, enabled);
}

bool DiscWriterDialog::Checked(WriterControl c) const {
  HWND h = Control(c);
  return h != nullptr && SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void DiscWriterDialog::SetChecked(WriterControl c, bool checked) {
  if (HWND h = Control(c)) SendMessageA(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void DiscWriterDialog::ClearList(WriterControl c) {
  if (HWND h = Control(c)) SendMessageA(h, CB_RESETCONTENT, 0, 0);
}

void DiscWriterDialog::AddListItem(WriterControl c, const std::string& text, long data) {
  HWND h = Control(c);
  if (h == nullptr || !IsCombo(c)) return;
  LRESULT at = SendMessageA(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (at >= 0) SendMessageA(h, CB_SETITEMDATA, at, data);
}

int DiscWriterDialog::ListCount(WriterControl c) const {
  HWND h = Control(c);
  return h ? static_cast<int>(SendMessageA(h, CB_GETCOUNT, 0, 0)) : 0;
}

std::string DiscWriterDialog::ListItem(WriterControl c, int index) const {
  HWND h = Control(c);
  if (h == nullptr) return "";
  LRESULT length = SendMessageA(h, CB_GETLBTEXTLEN, index, 0);
  if (length < 0) return "";
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  SendMessageA(h, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

long DiscWriterDialog::ListData(WriterControl c, int index) const {
  HWND h = Control(c);
  return h ? static_cast<long>(SendMessageA(h, CB_GETITEMDATA, index, 0)) : 0;
}

int DiscWriterDialog::ListIndex(WriterControl c) const {
  HWND h = Control(c);
  LRESULT index = h ? SendMessageA(h, CB_GETCURSEL, 0, 0) : -1;
  return index < 0 ? -1 : static_cast<int>(index);
}

void DiscWriterDialog::SetListIndex(WriterControl c, int index) {
  if (HWND h = Control(c)) SendMessageA(h, CB_SETCURSEL, index, 0);
}

// ---- tree and list ----

HTREEITEM DiscWriterDialog::NodeHandle(const std::string& key) const {
  auto node = nodes_.find(key);
  return node == nodes_.end() ? nullptr : node->second;
}

void DiscWriterDialog::ClearTree() {
  nodes_.clear();
  SendMessageA(Control(WriterControl::tvwFolders), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

void DiscWriterDialog::AddNode(const std::string& parentKey, const std::string& key, const std::string& text,
                               const std::string& icon, const std::string& selectedIcon) {
  TVINSERTSTRUCTA insert = {};
  HTREEITEM parent = NodeHandle(parentKey);
  insert.hParent = parent ? parent : TVI_ROOT;
  insert.hInsertAfter = TVI_SORT;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
  insert.item.pszText = const_cast<char*>(text.c_str());
  insert.item.iImage = IconIndex(icon);
  insert.item.iSelectedImage = IconIndex(selectedIcon);
  auto item = reinterpret_cast<HTREEITEM>(
      SendMessageA(Control(WriterControl::tvwFolders), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
  if (item != nullptr) nodes_[key] = item;
}

void DiscWriterDialog::RemoveNode(const std::string& key) {
  HTREEITEM item = NodeHandle(key);
  if (item == nullptr) return;
  SendMessageA(Control(WriterControl::tvwFolders), TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
  // Nodes below it went with it.
  std::string prefix = key + "\\";
  for (auto it = nodes_.begin(); it != nodes_.end();) {
    it = it->first == key || it->first.rfind(prefix, 0) == 0 ? nodes_.erase(it) : std::next(it);
  }
}

void DiscWriterDialog::SetNodeKey(const std::string& oldKey, const std::string& newKey) {
  HTREEITEM item = NodeHandle(oldKey);
  if (item == nullptr) return;
  nodes_.erase(oldKey);
  nodes_[newKey] = item;
}

void DiscWriterDialog::SetNodeText(const std::string& key, const std::string& text) {
  HTREEITEM item = NodeHandle(key);
  if (item == nullptr) return;
  TVITEMA change = {};
  change.mask = TVIF_TEXT;
  change.hItem = item;
  change.pszText = const_cast<char*>(text.c_str());
  SendMessageA(Control(WriterControl::tvwFolders), TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

std::optional<std::string> DiscWriterDialog::SelectedNode() const {
  auto item =
      reinterpret_cast<HTREEITEM>(SendMessageA(Control(WriterControl::tvwFolders), TVM_GETNEXTITEM, TVGN_CARET, 0));
  for (const auto& [key, handle] : nodes_) {
    if (handle == item && item != nullptr) return key;
  }
  return std::nullopt;
}

void DiscWriterDialog::ExpandNode(const std::string& key) {
  if (HTREEITEM item = NodeHandle(key)) {
    SendMessageA(Control(WriterControl::tvwFolders), TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
  }
}

void DiscWriterDialog::ClearFiles() {
  rowKeys_.clear();
  SendMessageA(Control(WriterControl::lvwImageFiles), LVM_DELETEALLITEMS, 0, 0);
}

void DiscWriterDialog::AddFileRow(const std::string& key, const std::string& name, const std::string& size,
                                  const std::string& date, const std::string& icon) {
  HWND list = Control(WriterControl::lvwImageFiles);
  LVITEMA item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = static_cast<int>(rowKeys_.size());
  item.pszText = const_cast<char*>(name.c_str());
  item.iImage = IconIndex(icon);
  item.lParam = static_cast<LPARAM>(rowKeys_.size());
  rowKeys_.push_back(key);
  int at = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  const std::string* columns[] = {&size, &date};
  for (int i = 0; i < 2; ++i) {
    LVITEMA sub = {};
    sub.iSubItem = i + 1;
    sub.pszText = const_cast<char*>(columns[i]->c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, at, reinterpret_cast<LPARAM>(&sub));
  }
}

std::optional<std::string> DiscWriterDialog::SelectedFileRow() const {
  HWND list = Control(WriterControl::lvwImageFiles);
  LRESULT at = SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  if (at < 0) return std::nullopt;
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = static_cast<int>(at);
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  auto index = static_cast<std::size_t>(item.lParam);
  return index < rowKeys_.size() ? std::optional<std::string>(rowKeys_[index]) : std::nullopt;
}

void DiscWriterDialog::BeginLabelEdit(ImageView view, const std::string& key) {
  if (view == ImageView::Tree) {
    HWND tree = Control(WriterControl::tvwFolders);
    SetFocus(tree);
    SendMessageA(tree, TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(NodeHandle(key)));
    return;
  }
  HWND list = Control(WriterControl::lvwImageFiles);
  SetFocus(list);
  SendMessageA(list, LVM_EDITLABELA, SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 0);
}

// ---- status, menus, the rest ----

void DiscWriterDialog::SetPanel(int panel, const std::string& text) {
  if (panel < 1 || panel > 3) return;
  panels_[panel] = text;
  SendMessageA(GetDlgItem(window_, IDC_SBRSTATUS), SB_SETTEXTA, panel - 1, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string DiscWriterDialog::Panel(int panel) const { return panel >= 1 && panel <= 3 ? panels_[panel] : ""; }

void DiscWriterDialog::SetProgress(int value) {
  SendMessageA(Control(WriterControl::prgTotalProgress), PBM_SETPOS, value, 0);
}

void DiscWriterDialog::SetMenuEntryVisible(FileMenuEntry entry, bool visible) {
  if (visible) {
    hidden_.erase(entry);
  } else {
    hidden_.insert(entry);
  }
}

void DiscWriterDialog::PopupFileMenu() {
  // Win32 menus cannot hide entries: the pop-up is a copy of the File menu with the shown ones.
  HMENU file = GetSubMenu(GetMenu(window_), 0);
  HMENU popup = CreatePopupMenu();
  for (int i = 0; i < kFileMenuEntries; ++i) {
    auto entry = static_cast<FileMenuEntry>(i);
    if (hidden_.count(entry)) continue;
    if (entry == FileMenuEntry::Sep1 || entry == FileMenuEntry::Sep4) {
      AppendMenuA(popup, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    char text[64] = {};
    GetMenuStringA(file, kMenuIds[i], text, sizeof text, MF_BYCOMMAND);
    AppendMenuA(popup, MF_STRING, kMenuIds[i], text);
  }
  POINT at;
  GetCursorPos(&at);
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
  DestroyMenu(popup);
}

void DiscWriterDialog::SetWaitCursor(bool waiting) {
  waiting_ = waiting;
  SetCursor(LoadCursor(nullptr, waiting ? IDC_WAIT : IDC_ARROW));
}

void DiscWriterDialog::PumpEvents() {
  app::PumpMessages([this](MSG& message) { return window_ != nullptr && IsDialogMessageA(window_, &message); });
}

std::optional<std::string> DiscWriterDialog::SaveFileDialog(const app::FileDialogSpec& spec) {
  if (saveDialogAnswer) return saveDialogAnswer(spec);
  return app::FileDialog(window_, spec, true);
}

void DiscWriterDialog::ShowErase(DiscDevice& device, DiscEngine& engine) {
  EraseDialog::ShowErase(instance_, window_, device, engine);
}

void DiscWriterDialog::Close() { PostMessageA(window_, WM_CLOSE, 0, 0); }

void DiscWriterDialog::EndProgram() {
  if (modal_) EndDialog(window_, IDABORT);
  PostQuitMessage(1);
}

}  // namespace quarnel::disc
