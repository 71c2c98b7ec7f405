#pragma once
#include "platform/Messages.h"

namespace quarnel::platform {

// MessageBoxA, owned by the thread's active window so that it is modal to it.
class Win32Messages : public MessageBoxes {
 public:
  MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                     MessageIcon icon) override;
};

}  // namespace quarnel::platform
