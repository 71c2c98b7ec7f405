#pragma once
#include "platform/System.h"

namespace quarnel::platform {

class Win32System : public SystemFacts {
 public:
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
};

}  // namespace quarnel::platform
