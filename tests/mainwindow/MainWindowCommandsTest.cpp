// frmMain's commands that open another window modal to it, or end the window.
#include "MainWindowFixture.h"
#include "schedule/ScheduleWindow.h"
#include "settingsui/SettingsWindow.h"

namespace quarnel::app {
namespace {

template <class Window>
HWND OpenWindow() {
  return Window::Current() ? Window::Current()->Handle() : nullptr;
}

// Each window opens owned by frmMain, which stays disabled until the window is gone.
TEST_F(MainWindowTest, WindowsOpenModalFromTheButtonTheMenuAndTheKeyboard) {
  Open();
  const struct {
    const char* way;
    std::function<void()> open;
    HWND (*find)();
  } ways[] = {
      {"about button", [&] { Click(Control::cmdAbout); }, AboutWindow::Current},
      {"about menu", [&] { Command(IDM_ABOUT); }, AboutWindow::Current},
      {"Ctrl+A",
       [&] {
         BYTE keys[256] = {};
         GetKeyboardState(keys);
         keys[VK_CONTROL] = 0x80;
         SetKeyboardState(keys);
         MSG key = {Handle(Control::cbSource), WM_KEYDOWN, 'A', 0x001E0001, 0, {0, 0}};
         EXPECT_TRUE(window_->PreTranslate(key));
         keys[VK_CONTROL] = 0;
         SetKeyboardState(keys);
       },
       AboutWindow::Current},
      {"task scheduler menu", [&] { Command(IDM_TASKSCHEDULER); }, OpenWindow<schedule::ScheduleWindow>},
      {"settings menu", [&] { Command(IDM_SETTINGS); }, OpenWindow<settingsui::SettingsWindow>},
  };
  for (const auto& w : ways) {
    SCOPED_TRACE(w.way);
    bool ownedAndDisabling = false;
    ModalProbe probe(w.find, [&](HWND opened) {
      ownedAndDisabling = !IsWindowEnabled(main_) && GetWindow(opened, GW_OWNER) == main_;
    });
    w.open();
    EXPECT_TRUE(probe.seen());
    EXPECT_TRUE(ownedAndDisabling);
    EXPECT_EQ(w.find(), nullptr);
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
