#pragma once
// frmMain in this process under Wine: the real window, driven by messages, with message
// boxes and started programs recorded.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Settings.h"
#include "app/Skin.h"
#include "app/Win32Controls.h"
#include "mainwindow/AboutWindow.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Resource.h"
#include "platform/Services.h"
#include "support/ModalProbe.h"
#include "support/RecordedSeams.h"
#include "support/RegistrySeed.h"

// Not in an unnamed namespace: GoogleTest wants the one fixture class for the tests of all files.
namespace quarnel::app {

inline std::string TextOf(HWND window) { return WindowText(window); }

inline COLORREF BrushColour(INT_PTR brush) {
  LOGBRUSH info = {};
  if (brush == 0 || GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof info, &info) == 0) return CLR_INVALID;
  return info.lbColor;
}

using testing::ModalProbe;

class MainWindowTest : public ::testing::Test, public testing::RecordedSeams {
 protected:
  MainWindowTest() {
    system.windowsFolder = "C:\\WINDOWS";
    system.computerName = "BOX";
    system.userName = "alice";
    CommandLine().clear();
  }
  ~MainWindowTest() override {
    window_.reset();
    Pump();
    CommandLine().clear();
    WindowSkin::Active().Clear();
  }

  void AddIdentity(const std::string& key, const std::string& name) {
    testing::SeedValue(platform::kHkeyCurrentUser, "Identities\\" + key, "Username", name);
  }

  // Creating the window already activates it: the logic's activation step waits in the
  // queue until the next pump.
  void Open() {
    window_ = std::make_unique<MainWindow>(GetModuleHandleA(nullptr), state_);
    ASSERT_TRUE(window_->Create());
    main_ = window_->Handle();
    ShowWindow(main_, SW_SHOW);
    SetForegroundWindow(main_);
    SetActiveWindow(main_);
    Pump();
  }

  // Runs what is waiting in the queue, as the program's loop does; notes a quit.
  void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quitPosted_ = true;
        continue;
      }
      if (window_ && window_->PreTranslate(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

  HWND Handle(Control c) { return window_->ControlHandle(c); }
  HWND Page(int index) {
    return GetParent(Handle(index == 0   ? Control::cbSource
                            : index == 1 ? Control::cbTarget
                            : index == 2 ? Control::List1
                                         : Control::lblAboutTitle));
  }
  HWND Item(ItemSet set, int index) {
    return GetDlgItem(Page(set == ItemSet::Backup ? 0 : 1),
                      (set == ItemSet::Backup ? IDC_BACKUPITEM0 : IDC_RESTOREITEM0) + index);
  }

  void Click(Control c) {
    HWND button = Handle(c);
    ASSERT_NE(button, nullptr);
    SendMessageA(button, BM_CLICK, 0, 0);
    Pump();
  }

  void Command(int id) {
    SendMessageA(main_, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump();
  }

  // As a click on a tab: the strip changes, then tells its parent.
  void ChooseTab(int index) {
    HWND tabs = GetDlgItem(main_, IDC_SSTAB1);
    SendMessageA(tabs, TCM_SETCURSEL, index, 0);
    NMHDR header = {tabs, IDC_SSTAB1, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(main_, WM_NOTIFY, IDC_SSTAB1, reinterpret_cast<LPARAM>(&header));
    Pump();
  }

  MainState state_;
  std::unique_ptr<MainWindow> window_;
  HWND main_ = nullptr;
  bool quitPosted_ = false;
};

}  // namespace quarnel::app
