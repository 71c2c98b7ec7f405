// frmErase's logic over a fake window and a fake device.
#include <gtest/gtest.h>

#include "FakeDisc.h"
#include "discwriter/EraseLogic.h"
#include "support/RecordedSeams.h"

namespace quarnel::disc {
namespace {

using platform::MessageIcon;
using C = EraseControl;

class EraseLogicTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  EraseLogicTest() : device_(engine_.AddDevice("Burner")), logic_(view_, device_, engine_) { logic_.Load(); }

  testing::FakeEngine engine_;
  testing::FakeDevice& device_;
  testing::FakeEraseView view_;
  EraseLogic logic_;
};

TEST_F(EraseLogicTest, ADiscIsErasedOnlyWhenTheDriveErasesItsKind) {
  EXPECT_TRUE(view_.Checked(C::chkQuikErase));
  const char* const kOtherFormat = "Selected drive does not support re-writable discs of this format.";
  const std::set<int> kAll = {kCapEraseCdRw, kCapEraseDvdMinusRw, kCapEraseDvdPlusRw, kCapEraseDvdRam, kCapEraseBdRe};
  const struct {
    MediaInfo media;
    std::set<int> capabilities;
    const char* message;  // none: the erase starts
  } cases[] = {
      {{kMediaCdRw, true, true}, {kCapEraseCdRw}, nullptr},
      {{kMediaDvdMinusRw, true, true}, {kCapEraseDvdMinusRw}, nullptr},
      {{kMediaDvdPlusRw, true, true}, {kCapEraseDvdPlusRw}, nullptr},
      {{kMediaDvdRam, true, true}, {kCapEraseDvdRam}, nullptr},
      {{kMediaBdRe, true, true}, {kCapEraseBdRe}, nullptr},
      {{kMediaDvdMinusRw, true, true}, {kCapEraseCdRw, kCapEraseDvdPlusRw}, kOtherFormat},
      {{kMediaOther, true, true}, kAll, kOtherFormat},  // a kind the table lacks
      {{kMediaNone, false, false}, kAll, "No Media Loaded."},
      {{kMediaCdR, true, false}, kAll, "The current media is not re-writable."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.media.MediaType);
    device_.media = c.media;
    device_.capabilities = c.capabilities;
    device_.calls.clear();
    view_.closes = 0;
    logic_.Erase();
    if (c.message) {
      ExpectOneMessage(c.message, MessageIcon::Information);
      EXPECT_TRUE(device_.calls.empty());
    } else {
      EXPECT_EQ(device_.calls, std::vector<std::string>{"StartErase 1 7"});  // quick, the drive's setting
      EXPECT_TRUE(messages.shown.empty());
    }
    EXPECT_EQ(view_.closes, c.message ? 1 : 0);
  }
  EXPECT_EQ(device_.refreshes.back(), false);

  view_.SetChecked(C::chkQuikErase, false);
  device_.media = {kMediaCdRw, true, true};
  device_.startErase = false;
  device_.calls.clear();
  view_.closes = 0;
  logic_.Erase();
  EXPECT_EQ(device_.calls, std::vector<std::string>{"StartErase 0 7"});
  ExpectOneMessage("Could not start Erase operation!!!", MessageIcon::Critical);
  logic_.CancelClicked();
  EXPECT_EQ(view_.closes, 2);
}

TEST_F(EraseLogicTest, StatusEventsDriveTheWindowAndItCannotCloseWhileBusy) {
  engine_.hub.EraseStatus(kEraseStarted, 3);
  EXPECT_TRUE(logic_.Busy());
  EXPECT_FALSE(logic_.CanClose());
  EXPECT_EQ(view_.Text(C::lblStatus), "Erasing Disc...Please Wait!!");
  EXPECT_FALSE(view_.Enabled(C::cmdErase) || view_.Enabled(C::cmdCancel));
  EXPECT_EQ(view_.progress, 3);
  engine_.hub.EraseStatus(kEraseProgress, 55);
  engine_.hub.EraseStatus(7, 99);
  EXPECT_EQ(view_.progress, 55);
  EXPECT_FALSE(logic_.CanClose());

  engine_.hub.EraseError(DeviceError{3, "Medium error", "Sense 3", "Erase failed"});
  ExpectOneMessage("Device Error: (3)   Medium error\r\n(Erase failed) Sense 3", MessageIcon::Critical);
  EXPECT_TRUE(logic_.CanClose() && view_.Enabled(C::cmdErase));
  EXPECT_EQ(view_.closes, 0);

  const struct {
    int status;
    const char *label, *message;
  } ends[] = {{kEraseDone, "Erase operation complete!!!", "Erase Completed!!!"},
              {kEraseFailed, "Error Erasing Disc!!!", nullptr}};
  for (const auto& e : ends) {
    engine_.hub.EraseStatus(kEraseStarted, 0);
    engine_.hub.EraseStatus(e.status, 100);
    EXPECT_EQ(view_.Text(C::lblStatus), e.label);
    if (e.message) ExpectOneMessage(e.message, MessageIcon::Information);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(logic_.CanClose());
  }
  EXPECT_EQ(view_.closes, 2);
  logic_.Closing();
  engine_.hub.EraseStatus(kEraseStarted, 0);
  EXPECT_FALSE(logic_.Busy());
}

}  // namespace
}  // namespace quarnel::disc
