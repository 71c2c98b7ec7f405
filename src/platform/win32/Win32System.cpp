#include "platform/win32/Win32System.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

namespace quarnel::platform {

bool Win32System::QueryComputerName(char* buffer, std::uint32_t* size) {
  DWORD n = *size;
  BOOL ok = GetComputerNameA(buffer, &n);
  *size = n;
  return ok != FALSE;
}

bool Win32System::QueryUserName(char* buffer, std::uint32_t* size) {
  DWORD n = *size;
  BOOL ok = GetUserNameA(buffer, &n);
  *size = n;
  return ok != FALSE;
}

std::uint32_t Win32System::QueryWindowsDirectory(char* buffer, std::uint32_t size) {
  return GetWindowsDirectoryA(buffer, size);
}

std::string Win32System::ExpandEnvironment(const std::string& text) {
  DWORD needed = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
  if (needed == 0) return text;
  std::vector<char> buffer(needed + 1);
  DWORD got = ExpandEnvironmentStringsA(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (got == 0 || got > buffer.size()) return text;
  return std::string(buffer.data());
}

std::string Win32System::TempPath() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof buffer, buffer);
  return n == 0 || n > sizeof buffer ? std::string() : std::string(buffer, n);
}

std::string Win32System::ProgramFolder() {
  char buffer[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return std::string();
  std::string path(buffer, n);
  std::size_t slash = path.rfind('\\');
  if (slash == std::string::npos) return std::string();
  // A drive root keeps its backslash: "C:\".
  return slash == 2 && path[1] == ':' ? path.substr(0, 3) : path.substr(0, slash);
}

std::string Win32System::AppDataFolder() {
  char buffer[MAX_PATH + 1] = "";
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::string();
  std::string folder(buffer);
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  return folder;
}

LocalTime Win32System::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::string Win32System::GeneralDate(const LocalTime& t) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  char date[128] = "", time[128] = "";
  GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
  return std::string(date) + " " + time;
}

bool Win32System::CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path) {
  char buffer[MAX_PATH + 1];
  if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer) == 0) return false;
  // Wine reports a number even when it could not create the file (a folder the user may
  // not write to); only a file that exists counts.
  if (GetFileAttributesA(buffer) == INVALID_FILE_ATTRIBUTES) return false;
  try {
    *path = buffer;
  } catch (...) {  // out of memory must not leave the file behind unnamed
    DeleteFileA(buffer);
    throw;
  }
  return true;
}

int Win32System::ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? static_cast<int>(info.dwNumberOfProcessors) : 1;
}

}  // namespace quarnel::platform
