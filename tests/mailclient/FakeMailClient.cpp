// Stands in for msimn.exe in the process tests: leaves a note beside itself that it started,
// named after the window state it was started with, then waits to be ended.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  const int shown = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  const std::string note = std::string(path) + ".shown" + std::to_string(shown);
  CloseHandle(CreateFileA(note.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  Sleep(120000);
  return 3;
}
