#pragma once
// Puts keys and values into whatever registry is in force, for tests.
#include <string>

#include <gtest/gtest.h>

#include "platform/Services.h"

namespace quarnel::testing {

inline void SeedValue(platform::RegKey root, const std::string& subKey, const std::string& name,
                      const std::string& text, std::uint32_t type = platform::kRegSz) {
  platform::RegKey key = 0;
  ASSERT_EQ(platform::Registry().CreateKey(root, subKey.c_str(), &key), 0) << subKey;
  std::string data = text + '\0';
  platform::Registry().SetValueEx(key, name.empty() ? nullptr : name.c_str(), type,
                                  reinterpret_cast<const std::uint8_t*>(data.data()),
                                  static_cast<std::uint32_t>(data.size()));
  platform::Registry().CloseKey(key);
}

inline void SeedKey(platform::RegKey root, const std::string& subKey) {
  platform::RegKey key = 0;
  ASSERT_EQ(platform::Registry().CreateKey(root, subKey.c_str(), &key), 0) << subKey;
  platform::Registry().CloseKey(key);
}

}  // namespace quarnel::testing
