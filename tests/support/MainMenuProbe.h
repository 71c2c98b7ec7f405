#pragma once
// For window tests under Windows: opens a window from the main window's menu and notes how
// it stood towards the main window while it was open.
#include <windows.h>

#include <functional>

#include "mainwindow/MainWindow.h"
#include "support/ModalProbe.h"

namespace quarnel::testing {

struct OpenedFromMenu {
  bool seen = false;
  bool ownedByMain = false;
  bool mainDisabled = false;  // while it was open
  bool mainEnabledAfter = false;
};

inline OpenedFromMenu OpenFromMainMenu(int command, std::function<HWND()> find) {
  app::CommandLine().clear();
  app::MainState state;
  app::MainWindow main(GetModuleHandleA(nullptr), state);
  OpenedFromMenu result;
  if (!main.Create()) return result;
  {
    ModalProbe probe(std::move(find), [&](HWND w) {
      result.ownedByMain = GetWindow(w, GW_OWNER) == main.Handle();
      result.mainDisabled = !IsWindowEnabled(main.Handle());
    });
    SendMessageA(main.Handle(), WM_COMMAND, MAKEWPARAM(command, 0), 0);
    result.seen = probe.seen();
  }
  result.mainEnabledAfter = IsWindowEnabled(main.Handle()) != FALSE;
  return result;
}

}  // namespace quarnel::testing
