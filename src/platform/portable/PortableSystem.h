#pragma once
#include "platform/System.h"

namespace quarnel::platform {

// System facts off Windows: fixed, settable values for the machine, POSIX for the rest.
class PortableSystem : public SystemFacts {
 public:
  PortableSystem();

  bool QueryComputerName(char* buffer, std::uint32_t* size) override;
  bool QueryUserName(char* buffer, std::uint32_t* size) override;
  std::uint32_t QueryWindowsDirectory(char* buffer, std::uint32_t size) override;
  std::string ExpandEnvironment(const std::string& text) override;
  std::string TempPath() override;
  std::string ProgramFolder() override;
  std::string AppDataFolder() override;
  LocalTime Now() override;
  std::string GeneralDate(const LocalTime& time) override;
  bool CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path) override;
  int ProcessorCount() override;

  std::string computerName = "QUARNEL-PC";
  std::string userName = "user";
  std::string windowsFolder = "C:\\WINDOWS";
  std::string programFolder;         // the running executable's folder unless set
  std::string appDataFolder;         // $XDG_CONFIG_HOME, else $HOME/.config, unless set
  bool fixedTime = false;            // Now() gives `time` when set
  LocalTime time;
};

}  // namespace quarnel::platform
