// Stands in for msimn.exe in the process tests: notes beside itself that it started and
// with which window state, then waits to be ended.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH + 16];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  lstrcatA(path, ".started");
  // Written aside and renamed, so the test never sees the note before its content.
  char writing[MAX_PATH + 24];
  lstrcpyA(writing, path);
  lstrcatA(writing, ".tmp");
  STARTUPINFOA startup;
  GetStartupInfoA(&startup);
  HANDLE f = CreateFileA(writing, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    char text[32];
    int len = std::snprintf(text, sizeof text, "%d", (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1);
    DWORD written = 0;
    WriteFile(f, text, static_cast<DWORD>(len), &written, nullptr);
    CloseHandle(f);
    MoveFileA(writing, path);
  }
  Sleep(120000);
  return 3;
}
