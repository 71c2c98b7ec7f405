#pragma once
// System facts and text services. The calls keep the shape of their Windows originals
// (caller's buffer, reported length) because the program's rules are stated in terms of them.
#include <cstdint>
#include <string>

namespace quarnel::platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class SystemFacts {
 public:
  virtual ~SystemFacts() = default;
  // GetComputerNameA: on success size becomes the length without the zero.
  virtual bool QueryComputerName(char* buffer, std::uint32_t* size) = 0;
  // GetUserNameA: on success size becomes the length including the zero.
  virtual bool QueryUserName(char* buffer, std::uint32_t* size) = 0;
  // GetWindowsDirectoryA: the length copied without the zero, or the needed size, or 0.
  virtual std::uint32_t QueryWindowsDirectory(char* buffer, std::uint32_t size) = 0;
  virtual std::string ExpandEnvironment(const std::string& text) = 0;
  virtual std::string TempPath() = 0;  // with its trailing backslash, as GetTempPathA gives it
  // The folder of the running program, without a trailing backslash unless a drive root.
  virtual std::string ProgramFolder() = 0;
  // The user's own application-data folder (the shell's CSIDL_APPDATA), without a trailing
  // backslash; "" when the system has none.
  virtual std::string AppDataFolder() = 0;
  virtual LocalTime Now() = 0;
  // The general date form: short date, a blank, long time, as the user's settings give them.
  virtual std::string GeneralDate(const LocalTime& time) = 0;
  // GetTempFileNameA with a number chosen by the system: creates the empty file.
  virtual bool CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path) = 0;
  // The processors the system runs programs on (GetSystemInfo); at least 1.
  virtual int ProcessorCount() = 0;
};

}  // namespace quarnel::platform
