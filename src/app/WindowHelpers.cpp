#include "app/WindowHelpers.h"

#include <commdlg.h>

#include <vector>

namespace quarnel::app {

std::string WindowText(HWND window) {
  int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::optional<std::string> ShowFileDialog(HWND owner, const FileDialogSpec& spec, bool save) {
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

}  // namespace quarnel::app
