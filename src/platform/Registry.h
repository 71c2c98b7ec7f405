#pragma once
// The registry function set: the ANSI registry calls the program makes, one to one.
// The Win32 implementation forwards to advapi32; the portable twin keeps an in-memory
// tree that answers with the same result codes, ordering and case rules.
#include <cstdint>

namespace quarnel::platform {

using RegKey = std::uintptr_t;  // an HKEY's value; roots are the predefined handles

inline constexpr RegKey kHkeyClassesRoot = 0x80000000;
inline constexpr RegKey kHkeyCurrentUser = 0x80000001;
inline constexpr RegKey kHkeyLocalMachine = 0x80000002;
inline constexpr RegKey kHkeyUsers = 0x80000003;
inline constexpr RegKey kHkeyPerformanceData = 0x80000004;
inline constexpr RegKey kHkeyCurrentConfig = 0x80000005;
inline constexpr RegKey kHkeyDynData = 0x80000006;

inline constexpr std::uint32_t kKeyRead = 0x20019;
inline constexpr std::uint32_t kKeyWrite = 0x20006;

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorInvalidHandle = 6;
inline constexpr long kErrorInvalidParameter = 87;
inline constexpr long kErrorMoreData = 234;
inline constexpr long kErrorNoMoreItems = 259;

class RegistryApi {
 public:
  virtual ~RegistryApi() = default;
  virtual long OpenKeyEx(RegKey root, const char* subKey, std::uint32_t mask, RegKey* out) = 0;
  virtual long OpenKey(RegKey root, const char* subKey, RegKey* out) = 0;
  virtual long CreateKey(RegKey root, const char* subKey, RegKey* out) = 0;
  virtual long DeleteKey(RegKey parent, const char* subKey) = 0;
  virtual long DeleteValue(RegKey key, const char* name) = 0;
  // RegQueryValueExA: data may be null to learn the size.
  virtual long QueryValueEx(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                            std::uint32_t* size) = 0;
  // RegQueryValueA: the default value of root\subKey as text; size in bytes with the zero.
  virtual long QueryValue(RegKey root, const char* subKey, char* data, long* size) = 0;
  virtual long EnumKeyEx(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) = 0;
  virtual long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                         std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) = 0;
  virtual long SetValueEx(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                          std::uint32_t size) = 0;
  virtual long CloseKey(RegKey key) = 0;
};

}  // namespace quarnel::platform
