// frmErase's logic over a fake window and a fake device.
#include <gtest/gtest.h>

#include "FakeDisc.h"
#include "discwriter/EraseLogic.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"

namespace quarnel::disc {
namespace {

using platform::MessageIcon;
using C = EraseControl;

class EraseLogicTest : public ::testing::Test {
 protected:
  EraseLogicTest() : scope_({.messages = &messages_}), device_(engine_.AddDevice("Burner")) {
    logic_ = std::make_unique<EraseLogic>(view_, device_, engine_);
    logic_->Load();
  }
  std::string LastMessage() { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  testing::FakeEngine engine_;
  testing::FakeDevice& device_;
  testing::FakeEraseView view_;
  std::unique_ptr<EraseLogic> logic_;
};

TEST_F(EraseLogicTest, OpensReadyWithQuickEraseChecked) {
  EXPECT_EQ(view_.Text(C::frmErase), "Erase Re-Writable CD/DVD");
  EXPECT_TRUE(view_.Checked(C::chkQuikErase));
  EXPECT_TRUE(view_.Enabled(C::cmdErase));
  EXPECT_TRUE(view_.Enabled(C::cmdCancel));
  EXPECT_TRUE(logic_->CanClose());
  logic_->CancelClicked();
  EXPECT_EQ(view_.closes, 1);
}

TEST_F(EraseLogicTest, TheTableIsWalkedInOrderAskingCapabilitiesOnlyAsNeeded) {
  struct Case {
    int media;
    std::set<int> capabilities;
    std::vector<int> asked;
    bool erasable;
  };
  const Case cases[] = {
      {253, {17}, {17}, true},
      {4, {19}, {17, 19}, true},  // media 4 with 19 but without 17
      {1, {22}, {17, 19, 22}, true},
      {9, {23}, {17, 19, 22, 23}, true},
      {15, {27}, {17, 19, 22, 23, 27}, true},
      {4, {17, 22}, {17, 19, 22, 23, 27}, false},
      {kMediaCdR, {17, 19, 22, 23, 27}, {17, 19, 22, 23, 27}, false},  // a kind the table lacks
  };
  for (const Case& c : cases) {
    device_.media = {c.media, true, true};
    device_.capabilities = c.capabilities;
    device_.asked.clear();
    device_.calls.clear();
    messages_.shown.clear();
    view_.closes = 0;
    logic_->Erase();
    EXPECT_EQ(device_.asked, c.asked) << c.media;
    if (c.erasable) {
      EXPECT_EQ(device_.calls, std::vector<std::string>{"StartErase 1 7"}) << c.media;
      EXPECT_TRUE(messages_.shown.empty());
      EXPECT_EQ(view_.closes, 0);
    } else {
      EXPECT_TRUE(device_.calls.empty());
      EXPECT_EQ(LastMessage(), "Selected drive does not support re-writable discs of this format.");
      EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Information);
      EXPECT_EQ(view_.closes, 1);
    }
  }
  EXPECT_EQ(device_.refreshes.back(), false);
}

TEST_F(EraseLogicTest, ChecksOfTheDiscAndAnEngineThatWillNotStart) {
  struct Case {
    MediaInfo media;
    bool starts;
    std::string message;
    MessageIcon icon;
  };
  const Case cases[] = {
      {{kMediaNone, false, false}, true, "No Media Loaded.", MessageIcon::Information},
      {{kMediaCdR, true, false}, true, "The current media is not re-writable.", MessageIcon::Information},
      {{kMediaCdRw, true, true}, false, "Could not start Erase operation!!!", MessageIcon::Critical},
  };
  device_.capabilities = {17};
  for (const Case& c : cases) {
    device_.media = c.media;
    device_.startErase = c.starts;
    view_.closes = 0;
    logic_->Erase();
    EXPECT_EQ(LastMessage(), c.message);
    EXPECT_EQ(messages_.shown.back().icon, c.icon);
    EXPECT_EQ(view_.closes, 1);
  }
  view_.SetChecked(C::chkQuikErase, false);
  device_.calls.clear();
  logic_->Erase();
  EXPECT_EQ(device_.calls, std::vector<std::string>{"StartErase 0 7"});
}

TEST_F(EraseLogicTest, StatusEventsDriveTheWindowAndItCannotCloseWhileBusy) {
  engine_.hub.EraseStatus(0, 3);
  EXPECT_TRUE(logic_->Busy());
  EXPECT_FALSE(logic_->CanClose());
  EXPECT_EQ(view_.Text(C::lblStatus), "Erasing Disc...Please Wait!!");
  EXPECT_FALSE(view_.Enabled(C::cmdErase));
  EXPECT_FALSE(view_.Enabled(C::cmdCancel));
  EXPECT_EQ(view_.progress, 3);
  engine_.hub.EraseStatus(1, 55);
  EXPECT_EQ(view_.progress, 55);
  engine_.hub.EraseStatus(7, 99);
  EXPECT_EQ(view_.progress, 55);
  EXPECT_FALSE(logic_->CanClose());

  engine_.hub.EraseError(DeviceError{3, "Medium error", "Sense 3", "Erase failed"});
  EXPECT_EQ(LastMessage(), "Device Error: (3)   Medium error\r\n(Erase failed) Sense 3");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Critical);
  EXPECT_TRUE(logic_->CanClose());
  EXPECT_TRUE(view_.Enabled(C::cmdErase));
  EXPECT_EQ(view_.closes, 0);

  engine_.hub.EraseStatus(0, 0);
  messages_.shown.clear();
  engine_.hub.EraseStatus(2, 100);
  EXPECT_EQ(view_.Text(C::lblStatus), "Erase operation complete!!!");
  EXPECT_EQ(LastMessage(), "Erase Completed!!!");
  EXPECT_EQ(messages_.shown.back().icon, MessageIcon::Information);
  EXPECT_TRUE(logic_->CanClose());
  EXPECT_EQ(view_.closes, 1);

  engine_.hub.EraseStatus(0, 0);
  messages_.shown.clear();
  engine_.hub.EraseStatus(3, 0);
  EXPECT_EQ(view_.Text(C::lblStatus), "Error Erasing Disc!!!");
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(logic_->CanClose());
  EXPECT_EQ(view_.closes, 2);

  logic_->Closing();
  engine_.hub.EraseStatus(0, 0);
  EXPECT_FALSE(logic_->Busy());
}

}  // namespace
}  // namespace quarnel::disc
