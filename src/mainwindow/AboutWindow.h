#pragma once
// The about window: name, version, a few words and the web site; modal to its owner.
#include <windows.h>

namespace quarnel::app {

class AboutWindow {
 public:
  // Returns when the window is closed.
  static void ShowModal(HINSTANCE instance, HWND owner);
  // The open about window, or nullptr.
  static HWND Current();
  // Ends the about window if it is open.
  static void Close();
};

}  // namespace quarnel::app
