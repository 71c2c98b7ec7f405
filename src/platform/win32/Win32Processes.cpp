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

namespace {

// Closes a handle at the end of its scope.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  ~OwnedHandle() { Reset(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE* Receive() { return &handle_; }
  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

FinishedRun Win32Processes::RunHidden(const std::string& commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  OwnedHandle readEnd, writeEnd, nothing;
  if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inherit, 0)) return {};
  SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  // An empty input: a program that asks something gets no answer instead of waiting for ever.
  *nothing.Receive() = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                   0, nullptr);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
  startup.wShowWindow = SW_HIDE;
  startup.hStdInput = nothing.Valid() ? nothing.Get() : nullptr;
  startup.hStdOutput = writeEnd.Get();
  startup.hStdError = writeEnd.Get();
  PROCESS_INFORMATION info{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &info)) {
    return {};
  }
  CloseHandle(info.hThread);
  // Only the child holds the writing end now, so reading ends when the child does.
  writeEnd.Reset();
  nothing.Reset();

  FinishedRun run;
  run.started = true;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(readEnd.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) run.output.append(buffer, got);
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  run.exitCode = code;
  // Console programs write in the OEM code page.
  if (!run.output.empty()) OemToCharBuffA(run.output.data(), run.output.data(), static_cast<DWORD>(run.output.size()));
  return run;
}

bool Win32Processes::ShellOpen(const std::string& target) {
  HINSTANCE result = ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

}  // namespace quarnel::platform
