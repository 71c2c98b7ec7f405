// Program entry: keep the command line, open frmMain, run the message loop until it quits.
#include <windows.h>

#include "app/MainState.h"
#include "mainwindow/MainWindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show) {
  // The C runtime has already cut the program path and the blanks after it.
  quarnel::app::CommandLine() = commandLine != nullptr ? commandLine : "";

  quarnel::app::MainState state;
  quarnel::app::MainWindow window(instance, state);
  if (!window.Create()) return 1;
  ShowWindow(window.Handle(), show);
  UpdateWindow(window.Handle());

  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (!window.PreTranslate(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return static_cast<int>(message.wParam);
}
