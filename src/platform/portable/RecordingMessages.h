#pragma once
// A message box seam that shows nothing: it records every box and answers from a queue
// (OK, or Yes, when the queue is empty).
#include <deque>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace quarnel::platform {

struct RecordedMessage {
  std::string text;
  std::string title;
  MessageButtons buttons;
  MessageIcon icon;
};

class RecordingMessages : public MessageBoxes {
 public:
  MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                     MessageIcon icon) override;

  std::vector<RecordedMessage> shown;
  std::deque<MessageResult> answers;
};

}  // namespace quarnel::platform
