#include "platform/portable/PortableSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/portable/PosixFiles.h"

namespace quarnel::platform {
namespace {

std::string ExecutableFolder() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = '\0';
  std::string p(path);
  std::size_t slash = p.rfind('/');
  return slash == 0 ? "/" : p.substr(0, slash);
}

bool CopyOut(const std::string& value, char* buffer, std::uint32_t size) {
  if (value.size() + 1 > size) return false;
  std::memcpy(buffer, value.c_str(), value.size() + 1);
  return true;
}

}  // namespace

PortableSystem::PortableSystem() : programFolder(ExecutableFolder()) {}

bool PortableSystem::QueryComputerName(char* buffer, std::uint32_t* size) {
  if (!CopyOut(computerName, buffer, *size)) {
    *size = static_cast<std::uint32_t>(computerName.size() + 1);
    return false;
  }
  *size = static_cast<std::uint32_t>(computerName.size());
  return true;
}

bool PortableSystem::QueryUserName(char* buffer, std::uint32_t* size) {
  if (!CopyOut(userName, buffer, *size)) {
    *size = static_cast<std::uint32_t>(userName.size() + 1);
    return false;
  }
  *size = static_cast<std::uint32_t>(userName.size() + 1);
  return true;
}

std::uint32_t PortableSystem::QueryWindowsDirectory(char* buffer, std::uint32_t size) {
  if (!CopyOut(windowsFolder, buffer, size)) return static_cast<std::uint32_t>(windowsFolder.size() + 1);
  return static_cast<std::uint32_t>(windowsFolder.size());
}

std::string PortableSystem::ExpandEnvironment(const std::string& text) {
  // As Windows does: %NAME% is replaced when NAME is set, left as it is otherwise.
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t open = text.find('%', i);
    if (open == std::string::npos) break;
    std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, i, open - i);
    std::string name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
    if (value) {
      out += value;
      i = close + 1;
    } else {
      out.append(text, open, close - open);
      i = close;
    }
  }
  out.append(text, i, std::string::npos);
  return out;
}

std::string PortableSystem::TempPath() {
  const char* t = std::getenv("TMPDIR");
  std::string p = t && *t ? t : "/tmp";
  if (p.back() != '/') p += '/';
  return p;
}

std::string PortableSystem::ProgramFolder() { return programFolder; }

std::string PortableSystem::AppDataFolder() {
  if (!appDataFolder.empty()) return appDataFolder;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) return config;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config";
  return std::string();
}

LocalTime PortableSystem::Now() {
  if (fixedTime) return time;
  std::time_t t = std::time(nullptr);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string PortableSystem::GeneralDate(const LocalTime& t) {
  // The United States form: M/d/yyyy h:mm:ss AM.
  int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d/%04d %d:%02d:%02d %s", t.month, t.day, t.year, hour12, t.minute, t.second,
                t.hour < 12 ? "AM" : "PM");
  return text;
}

bool PortableSystem::CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path) {
  std::string base = folder;
  if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
  base += prefix.substr(0, 3);
  static unsigned counter = static_cast<unsigned>(::getpid()) & 0xFFFF;
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    counter = (counter + 1) & 0xFFFF;
    if (counter == 0) counter = 1;
    char number[8];
    std::snprintf(number, sizeof number, "%x", counter);
    std::string candidate = base + number + ".tmp";
    int fd = ::open(PosixPath(candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) {
      ::close(fd);
      path->swap(candidate);  // allocates nothing: out of memory cannot leave the file behind
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

int PortableSystem::ProcessorCount() {
  long count = ::sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<int>(count) : 1;
}

}  // namespace quarnel::platform
