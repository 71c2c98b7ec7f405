#pragma once
// frmPwd made of plain fields, for tests of its logic.
#include <string>

#include "prompt/PasswordPrompt.h"

namespace quarnel::testing {

class FakePasswordView : public prompt::PasswordView {
 public:
  std::string Password() const override { return typed; }
  void Close() override { ++closes; }

  std::string typed;  // what is in txtPassword
  int closes = 0;
};

}  // namespace quarnel::testing
