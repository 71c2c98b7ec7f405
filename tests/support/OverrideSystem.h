#pragma once
// The build's own system facts, with the program folder, the clock and the machine facts
// replaceable, so that tests of settings, logs and jobs run in a folder of their own.
#include <cstring>
#include <optional>
#include <string>

#include "platform/Services.h"

namespace quarnel::testing {

class OverrideSystem : public platform::SystemFacts {
 public:
  explicit OverrideSystem(std::string programFolder)
      : inner_(*platform::DefaultServices().system), programFolder_(std::move(programFolder)) {}

  bool QueryComputerName(char* buffer, std::uint32_t* size) override {
    if (!computerName) return inner_.QueryComputerName(buffer, size);
    if (computerName->size() + 1 > *size) return false;
    std::memcpy(buffer, computerName->c_str(), computerName->size() + 1);
    *size = static_cast<std::uint32_t>(computerName->size());
    return true;
  }
  bool QueryUserName(char* buffer, std::uint32_t* size) override {
    if (!userName) return inner_.QueryUserName(buffer, size);
    if (userName->size() + 1 > *size) return false;
    std::memcpy(buffer, userName->data(), userName->size());
    buffer[userName->size()] = '\0';
    *size = userNameReportedSize ? *userNameReportedSize : static_cast<std::uint32_t>(userName->size() + 1);
    return true;
  }
  std::uint32_t QueryWindowsDirectory(char* buffer, std::uint32_t size) override {
    if (!windowsFolder) return inner_.QueryWindowsDirectory(buffer, size);
    if (windowsFolder->size() + 1 > size) return static_cast<std::uint32_t>(windowsFolder->size() + 1);
    std::memcpy(buffer, windowsFolder->c_str(), windowsFolder->size() + 1);
    return static_cast<std::uint32_t>(windowsFolder->size());
  }
  std::string ExpandEnvironment(const std::string& text) override {
    if (userProfile && text == "%UserProfile%") return *userProfile;
    return inner_.ExpandEnvironment(text);
  }
  std::string TempPath() override { return inner_.TempPath(); }
  std::string ProgramFolder() override { return programFolder_; }
  std::string AppDataFolder() override { return appDataFolder ? *appDataFolder : inner_.AppDataFolder(); }
  platform::LocalTime Now() override { return now ? *now : inner_.Now(); }
  std::string GeneralDate(const platform::LocalTime& time) override { return inner_.GeneralDate(time); }
  bool CreateTempFile(const std::string& folder, const std::string& prefix, std::string* path) override {
    // A program folder the user may not write to, as under "Program Files" on Vista and later.
    if (programFolderReadOnly && folder == programFolder_) return false;
    return inner_.CreateTempFile(folder, prefix, path);
  }
  int ProcessorCount() override { return processors ? *processors : inner_.ProcessorCount(); }

  std::optional<std::string> computerName, userName, windowsFolder, appDataFolder, userProfile;
  bool programFolderReadOnly = false;
  std::optional<std::uint32_t> userNameReportedSize;
  std::optional<platform::LocalTime> now;
  std::optional<int> processors;

 private:
  platform::SystemFacts& inner_;
  std::string programFolder_;
};

}  // namespace quarnel::testing
