// frmMain's commands that open another program or window, or end the window.
#include "MainWindowFixture.h"

namespace quarnel::app {
namespace {

// The about window, modal to frmMain, from the button, the menu and Ctrl+A.
TEST_F(MainWindowTest, TheAboutWindowOpensModalFromTheButtonTheMenuAndTheKeyboard) {
  Open();
  for (int way = 0; way < 3; ++way) {
    std::string site;
    bool ownerDisabled = false;
    ModalProbe probe(AboutWindow::Current, [&](HWND about) {
      site = TextOf(GetDlgItem(about, IDC_ABOUTWEBSITE));
      ownerDisabled = !IsWindowEnabled(main_) && GetWindow(about, GW_OWNER) == main_;
    });
    if (way == 0) {
      Click(Control::cmdAbout);
    } else if (way == 1) {
      Command(IDM_ABOUT);
    } else {
      BYTE keys[256] = {};
      GetKeyboardState(keys);
      keys[VK_CONTROL] = 0x80;
      SetKeyboardState(keys);
      MSG key = {Handle(Control::cbSource), WM_KEYDOWN, 'A', 0x001E0001, 0, {0, 0}};
      EXPECT_TRUE(window_->PreTranslate(key));
      keys[VK_CONTROL] = 0;
      SetKeyboardState(keys);
    }
    EXPECT_TRUE(probe.seen()) << way;
    EXPECT_EQ(site, kWebsite);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(AboutWindow::Current(), nullptr);
    EXPECT_TRUE(IsWindowEnabled(main_));
  }
}

TEST_F(MainWindowTest, QuitByButtonMenuOrFrameEndsTheWindowAndTheLoop) {
  for (int way = 0; way < 3; ++way) {
    quitPosted_ = false;
    Open();
    if (way == 0) Click(Control::cmdQuit);
    if (way == 1) Command(IDM_QUIT);
    if (way == 2) {
      SendMessageA(main_, WM_CLOSE, 0, 0);
      Pump();
    }
    EXPECT_FALSE(IsWindow(main_)) << way;
    EXPECT_EQ(window_->Handle(), nullptr);
    EXPECT_TRUE(quitPosted_) << way;
    window_.reset();
  }
}

}  // namespace
}  // namespace quarnel::app
