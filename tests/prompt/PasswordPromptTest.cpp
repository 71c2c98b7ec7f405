#include <gtest/gtest.h>

#include "prompt/PasswordPrompt.h"
#include "support/FakePasswordView.h"

namespace quarnel::testing {
namespace {

TEST(PasswordPrompt, OkOrEnterLeavesTheTypedTextAndCancelLeavesTheEarlierOne) {
  std::string restorePassword = "earlier";
  FakePasswordView view;
  prompt::PasswordPromptLogic logic(restorePassword, view);
  logic.Cancel();
  EXPECT_EQ(restorePassword, "earlier");
  EXPECT_EQ(view.closes, 1);
  view.typed = "";  // Enter in an empty box
  logic.Ok();
  EXPECT_EQ(restorePassword, "");
  view.typed = "s3cret with blanks ";
  logic.Ok();
  EXPECT_EQ(restorePassword, "s3cret with blanks ");
  view.typed = std::string(25, 'x');  // more than the box takes
  logic.Ok();
  EXPECT_EQ(restorePassword, std::string(prompt::kPasswordMaxLength, 'x'));
  EXPECT_EQ(view.closes, 4);
}

}  // namespace
}  // namespace quarnel::testing
