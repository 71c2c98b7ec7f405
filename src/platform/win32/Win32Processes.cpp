#include "platform/win32/Win32Processes.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <vector>

namespace quarnel::platform {

bool Win32Processes::Snapshot(std::vector<ProcessEntry>* out) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  out->clear();
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
    out->push_back({entry.th32ProcessID, entry.szExeFile});
  }
  CloseHandle(snapshot);
  return true;
}

bool Win32Processes::Terminate(std::uint32_t id, std::uint32_t exitCode) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, id);
  if (!process) return false;
  BOOL ok = TerminateProcess(process, exitCode);
  CloseHandle(process);
  return ok != FALSE;
}

bool Win32Processes::Start(const std::string& commandLine, WindowState state) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = state == WindowState::Hidden      ? SW_HIDE
                        : state == WindowState::Minimized ? SW_SHOWMINIMIZED
                                                          : SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

bool Win32Processes::ShellOpen(const std::string& target) {
  HINSTANCE result = ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace quarnel::platform
