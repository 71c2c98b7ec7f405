#pragma once
// Message boxes. Windows shows MessageBoxA owned by the active window; tests install a
// recorder so that no box is ever left modal.
#include <string>

namespace quarnel::platform {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok, Cancel, Yes, No };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual MessageResult Show(const std::string& text, const std::string& title, MessageButtons buttons,
                             MessageIcon icon) = 0;
};

}  // namespace quarnel::platform
