#include "app/Win32Controls.h"

#include <commctrl.h>
#include <commdlg.h>
#include <ole2.h>
#include <shlobj.h>

#include <vector>

#include "app/Skin.h"

namespace quarnel::app {
namespace {

// Pages on a themed tab strip share its background, as property sheets do. Loaded at run
// time: the theme library is optional on the systems the program runs on.
void UseTabPageBackground(HWND page) {
  using EnableTexture = HRESULT(WINAPI*)(HWND, DWORD);
  static EnableTexture enable = [] {
    HMODULE theme = LoadLibraryA("uxtheme.dll");
    FARPROC found = theme ? GetProcAddress(theme, "EnableThemeDialogTexture") : nullptr;
    return reinterpret_cast<EnableTexture>(reinterpret_cast<void*>(found));
  }();
  constexpr DWORD kEnableTab = 0x6;  // ETDT_ENABLE | ETDT_USETABTEXTURE
  if (enable != nullptr) enable(page, kEnableTab);
}

}  // namespace

bool IsClass(HWND window, const char* name) {
  char buffer[32] = {};
  GetClassNameA(window, buffer, sizeof buffer);
  return lstrcmpiA(buffer, name) == 0;
}

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::string WithoutMnemonic(const std::string& caption) {
  std::string plain;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      // "&&" stands for one '&'; a single one only marks the next letter.
      if (i + 1 < caption.size() && caption[i + 1] == '&') {
        plain += '&';
        ++i;
      }
      continue;
    }
    plain += caption[i];
  }
  return plain;
}

std::string EscapeMnemonic(const std::string& caption) {
  std::string escaped;
  for (char c : caption) {
    if (c == '&') escaped += '&';
    escaped += c;
  }
  return escaped;
}

std::string ControlText(HWND control) {
  if (control == nullptr) return "";
  std::string text = WindowText(control);
  return IsClass(control, "Button") ? WithoutMnemonic(text) : text;
}

void SetControlText(HWND control, const std::string& text) {
  if (control == nullptr) return;
  SetWindowTextA(control, (IsClass(control, "Button") ? EscapeMnemonic(text) : text).c_str());
}

bool IsChecked(HWND button) { return button != nullptr && SendMessageA(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetCheck(HWND button, bool checked) {
  if (button != nullptr) SendMessageA(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

HBRUSH FieldBrush(HDC dc, HWND field, FieldColour colour) {
  int system = colour == FieldColour::Window ? COLOR_WINDOW : COLOR_SCROLLBAR;
  SetBkColor(dc, GetSysColor(system));
  SetTextColor(dc, GetSysColor(IsWindowEnabled(field) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  return GetSysColorBrush(system);
}

void LayOutTabPages(HWND owner, HWND tabs, HWND* pages, int count) {
  RECT area;
  GetWindowRect(tabs, &area);
  MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&area), 2);
  SendMessageA(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  // Above the tab strip, so that the keyboard order runs page, tab strip, buttons.
  const Skin& skin = WindowSkin::Active().Current();
  for (int i = 0; i < count; ++i) {
    SetWindowPos(pages[i], HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOACTIVATE);
    if (!(WindowSkin::Active().Loaded() && skin.window)) UseTabPageBackground(pages[i]);
  }
}

INT_PTR CALLBACK ForwardingPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;  // the focus stays where the window puts it
    case WM_COMMAND:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      // A dialog answers these colour messages with its procedure's own result.
      return static_cast<INT_PTR>(SendMessageA(GetParent(page), message, wParam, lParam));
    default:
      return FALSE;
  }
}

void ShowTabPage(HWND tabs, HWND* pages, int count, int shown) {
  HWND focus = GetFocus();
  for (int i = 0; i < count; ++i) {
    if (i == shown) continue;
    if (focus != nullptr && (focus == pages[i] || IsChild(pages[i], focus))) SetFocus(tabs);
    ShowWindow(pages[i], SW_HIDE);
  }
  if (shown >= 0 && shown < count) ShowWindow(pages[shown], SW_SHOWNA);
}

void PumpMessages(const std::function<bool(MSG&)>& preTranslate) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The outer loop still has to see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (!preTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

std::optional<std::string> FileDialog(HWND owner, const FileDialogSpec& spec, bool save) {
  // "Name|*.ext|Name|*.ext" becomes the dialog's zero-separated list, ended by two zeros.
  std::string filter = spec.filter;
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  filter.append(2, '\0');
  std::vector<char> file(4096, '\0');
  lstrcpynA(file.data(), spec.fileName.c_str(), static_cast<int>(file.size()));

  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.lpstrInitialDir = spec.initialFolder.empty() ? nullptr : spec.initialFolder.c_str();
  dialog.lpstrTitle = spec.title.empty() ? nullptr : spec.title.c_str();
  dialog.lpstrDefExt = spec.defaultExtension.empty() ? nullptr : spec.defaultExtension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
  dialog.Flags |= save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST;
  BOOL chosen = save ? GetSaveFileNameA(&dialog) : GetOpenFileNameA(&dialog);
  if (!chosen) return std::nullopt;
  return std::string(file.data());
}

std::string BrowseForFolder(const std::string& title, HWND owner, UINT flags) {
  // The newer folder picker needs OLE on this thread.
  HRESULT ole = OleInitialize(nullptr);
  char display[MAX_PATH] = {};
  BROWSEINFOA browse = {};
  browse.hwndOwner = owner;
  browse.pszDisplayName = display;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = flags;
  std::string folder;
  if (LPITEMIDLIST chosen = SHBrowseForFolderA(&browse)) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(chosen, path)) folder = path;
    CoTaskMemFree(chosen);
  }
  if (SUCCEEDED(ole)) OleUninitialize();
  return folder;
}

}  // namespace quarnel::app
