#pragma once
// frmMain in this process under Wine: the real window, driven by messages, with message
// boxes and started programs recorded. Modal windows are ended by a thread timer.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Log.h"
#include "app/Settings.h"
#include "app/Skin.h"
#include "mainwindow/AboutWindow.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/Resource.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/OverrideSystem.h"
#include "support/RegistrySeed.h"
#include "support/TempFolder.h"

// Not in an unnamed namespace: GoogleTest wants the one fixture class for the tests of all files.
namespace quarnel::app {

using platform::MessageIcon;
using platform::MessageResult;

inline std::string TextOf(HWND window) {
  char buffer[512] = {};
  GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

inline std::string Plain(const std::string& caption) {
  std::string plain;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] != '&') continue;
    plain += caption[i];
  }
  return plain;
}

inline std::vector<HWND> Descendants(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

inline HWND FindByText(HWND window, const std::string& text) {
  for (HWND child : Descendants(window)) {
    if (Plain(TextOf(child)) == text) return child;
  }
  return nullptr;
}

inline std::string MenuText(HMENU menu, UINT position) {
  char buffer[128] = {};
  GetMenuStringA(menu, position, buffer, sizeof buffer, MF_BYPOSITION);
  return buffer;
}

inline COLORREF BrushColour(INT_PTR brush) {
  LOGBRUSH info = {};
  if (brush == 0 || GetObjectA(reinterpret_cast<HBRUSH>(brush), sizeof info, &info) == 0) return CLR_INVALID;
  return info.lbColor;
}

// Ends whatever modal window the action opens, after letting the probe look at it.
class ModalProbe {
 public:
  // find returns the modal window once it is up (nullptr while it is not).
  ModalProbe(std::function<HWND()> find, std::function<void(HWND)> look)
      : find_(std::move(find)), look_(std::move(look)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 30, Tick);
  }
  ~ModalProbe() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool seen() const { return seen_; }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    ModalProbe* self = current_;
    if (self == nullptr || self->seen_) return;
    HWND window = self->find_();
    if (window == nullptr) {
      // Never left waiting: after a few seconds whatever is active is closed.
      if (++self->ticks_ > 150 && GetActiveWindow() != nullptr) PostMessageA(GetActiveWindow(), WM_CLOSE, 0, 0);
      return;
    }
    self->seen_ = true;
    self->look_(window);
    PostMessageA(window, WM_COMMAND, IDOK, 0);
  }

  static inline ModalProbe* current_ = nullptr;
  std::function<HWND()> find_;
  std::function<void(HWND)> look_;
  UINT_PTR timer_ = 0;
  bool seen_ = false;
  int ticks_ = 0;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : system_(dir_.path()),
        scope_({.registry = &registry_, .system = &system_, .processes = &processes_, .messages = &messages_}) {
    system_.windowsFolder = "C:\\WINDOWS";
    system_.computerName = "BOX";
    system_.userName = "alice";
    CommandLine().clear();
  }
  ~MainWindowTest() override {
    window_.reset();
    Pump();
    CommandLine().clear();
    WindowSkin::Active().Clear();
  }

  void AddIdentity(const std::string& key, const std::string& name) {
    platform::RegKey k = 0;
    ASSERT_EQ(registry_.CreateKey(platform::kHkeyCurrentUser, ("Identities\\" + key).c_str(), &k), 0);
    registry_.SetValueEx(k, "Username", platform::kRegSz, reinterpret_cast<const std::uint8_t*>(name.c_str()),
                         static_cast<std::uint32_t>(name.size() + 1));
    registry_.CloseKey(k);
  }

  // Creating the window already activates it: the logic's activation step waits in the
  // queue until the next pump.
  void Open(bool show = true, bool pump = true) {
    window_ = std::make_unique<MainWindow>(GetModuleHandleA(nullptr), state_);
    ASSERT_TRUE(window_->Create());
    main_ = window_->Handle();
    if (show) {
      ShowWindow(main_, SW_SHOW);
      SetForegroundWindow(main_);
      SetActiveWindow(main_);
    }
    if (pump) Pump();
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
  HWND Page(int index) { return GetParent(Handle(index == 0 ? Control::cbSource
                                                  : index == 1 ? Control::cbTarget
                                                  : index == 2 ? Control::List1
                                                               : Control::lblAboutTitle)); }
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

  testing::TempFolder dir_;
  testing::OverrideSystem system_;
  platform::MemoryRegistry registry_;
  platform::RecordingProcesses processes_;
  platform::RecordingMessages messages_;
  platform::ScopedServices scope_;
  MainState state_;
  std::unique_ptr<MainWindow> window_;
  HWND main_ = nullptr;
  bool quitPosted_ = false;
};

}  // namespace quarnel::app
