/* Starts a program with exactly the command line in the environment variable
   QUARNEL_COMMAND_LINE, as the Task Scheduler starts a task, waits for it and exits with
   its exit code. Wine builds a command line from the Unix arguments with quoting of its
   own, so tests that need the exact bytes of a task's command line go through here. */
#include <windows.h>

#include <stdio.h>

int main(void) {
  static char line[32768];
  DWORD n = GetEnvironmentVariableA("QUARNEL_COMMAND_LINE", line, sizeof line);
  if (n == 0 || n >= sizeof line) {
    fprintf(stderr, "quarnel_launch: set QUARNEL_COMMAND_LINE\n");
    return 120;
  }
  STARTUPINFOA startup;
  PROCESS_INFORMATION info;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &info)) {
    fprintf(stderr, "quarnel_launch: cannot start (error %lu)\n", (unsigned long)GetLastError());
    return 121;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 122;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return (int)code;
}
