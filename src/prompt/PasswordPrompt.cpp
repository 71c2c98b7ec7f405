#include "prompt/PasswordPrompt.h"

namespace quarnel::prompt {

void PasswordPromptLogic::Ok() {
  restorePassword_ = view_.Password().substr(0, kPasswordMaxLength);
  view_.Close();
}

void PasswordPromptLogic::Cancel() { view_.Close(); }

}  // namespace quarnel::prompt
