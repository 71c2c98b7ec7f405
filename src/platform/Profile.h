#pragma once
// Profile strings (INI files such as settings.dat), with the Windows calls' buffer rules.
#include <cstdint>
#include <string>

namespace quarnel::platform {

class ProfileStrings {
 public:
  virtual ~ProfileStrings() = default;
  // GetPrivateProfileStringA: copies at most size-1 characters and a zero into buffer;
  // returns the number of characters copied (without the zero).
  virtual std::uint32_t GetString(const std::string& section, const std::string& key,
                                  const std::string& defaultValue, char* buffer, std::uint32_t size,
                                  const std::string& file) = 0;
  // WritePrivateProfileStringA: creates the file and the section when missing.
  virtual bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                           const std::string& file) = 0;
};

}  // namespace quarnel::platform
