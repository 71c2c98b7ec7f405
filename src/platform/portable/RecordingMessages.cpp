#include "platform/portable/RecordingMessages.h"

namespace quarnel::platform {

MessageResult RecordingMessages::Show(const std::string& text, const std::string& title,
                                      MessageButtons buttons, MessageIcon icon) {
  shown.push_back({text, title, buttons, icon});
  if (!answers.empty()) {
    MessageResult answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel ? MessageResult::Yes
                                                                                    : MessageResult::Ok;
}

}  // namespace quarnel::platform
