#pragma once
// The registry function set over advapi32's ANSI calls, one to one.
#include "platform/Registry.h"

namespace quarnel::platform {

class Win32Registry : public RegistryApi {
 public:
  long OpenKeyEx(RegKey root, const char* subKey, std::uint32_t mask, RegKey* out) override;
  long OpenKey(RegKey root, const char* subKey, RegKey* out) override;
  long CreateKey(RegKey root, const char* subKey, RegKey* out) override;
  long DeleteKey(RegKey parent, const char* subKey) override;
  long DeleteValue(RegKey key, const char* name) override;
  long QueryValueEx(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
  long QueryValue(RegKey root, const char* subKey, char* data, long* size) override;
  long EnumKeyEx(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) override;
  long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* type,
                 std::uint8_t* data, std::uint32_t* dataSize) override;
  long SetValueEx(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
  long CloseKey(RegKey key) override;
};

}  // namespace quarnel::platform
