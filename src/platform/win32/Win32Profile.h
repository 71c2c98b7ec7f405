#pragma once
#include "platform/Profile.h"

namespace quarnel::platform {

class Win32Profile : public ProfileStrings {
 public:
  std::uint32_t GetString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          char* buffer, std::uint32_t size, const std::string& file) override;
  bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& file) override;
};

}  // namespace quarnel::platform
