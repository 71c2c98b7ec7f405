#include "platform/win32/Win32Messages.h"

#include <windows.h>

namespace quarnel::platform {

MessageResult Win32Messages::Show(const std::string& text, const std::string& title, MessageButtons buttons,
                                  MessageIcon icon) {
  UINT flags = 0;
  switch (buttons) {
    case MessageButtons::Ok: flags |= MB_OK; break;
    case MessageButtons::OkCancel: flags |= MB_OKCANCEL; break;
    case MessageButtons::YesNo: flags |= MB_YESNO; break;
    case MessageButtons::YesNoCancel: flags |= MB_YESNOCANCEL; break;
  }
  switch (icon) {
    case MessageIcon::None: break;
    case MessageIcon::Critical: flags |= MB_ICONHAND; break;
    case MessageIcon::Question: flags |= MB_ICONQUESTION; break;
    case MessageIcon::Exclamation: flags |= MB_ICONEXCLAMATION; break;
    case MessageIcon::Information: flags |= MB_ICONASTERISK; break;
  }
  switch (MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), flags)) {
    case IDCANCEL: return MessageResult::Cancel;
    case IDYES: return MessageResult::Yes;
    case IDNO: return MessageResult::No;
    default: return MessageResult::Ok;
  }
}

}  // namespace quarnel::platform
