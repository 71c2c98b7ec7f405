#pragma once
// modReg: the registry by full key name ("HKEY_CURRENT_USER\Identities\..."). Every
// operation splits the name, opens what it needs through the registry seam and closes it
// again before returning; no state is kept between calls.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace quarnel::registry {

// The one error this subsystem raises: an enumeration that fails other than by running
// out of items, a registry text file that cannot be written, read or is malformed.
class RegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct KeyPath {
  platform::RegKey root = 0;  // 0: no root
  std::string subPath;
  bool refused = false;       // malformed, and the user was told so
};

// A name that does not begin with "HKEY_" or ends with a backslash is refused with the
// "Incorrect Format:" message; an unknown root name is refused silently.
KeyPath SplitKeyName(std::string_view fullName);
platform::RegKey RootKeyFromName(std::string_view rootName);  // 0 when not a root name

bool KeyExists(std::string_view key);
long CreateKey(std::string_view key);  // the last call's result code; non-zero on failure
void DeleteKey(std::string_view key);   // only a key without sub-keys
void DeleteKeyTree(std::string_view key);
// The value's text (any type, read as bytes, leading blanks removed), or "Error" when it
// cannot be read or needs more than 254 bytes; empty for a refused key name.
std::string ReadStringValue(std::string_view key, std::string_view valueName);
// The key's default value as text; false, and text untouched, when it cannot be read.
bool ReadDefaultValue(std::string_view key, std::string* text);
std::vector<std::string> EnumSubKeys(std::string_view key);  // throws RegistryError

struct RegistryValue {
  std::string name;
  std::uint32_t type = platform::kRegNone;
  std::string data;  // the bytes as stored

  std::string Text() const;            // REG_SZ, REG_EXPAND_SZ: the text without its zero
  std::int32_t Number() const;         // REG_DWORD: the first four bytes, little-endian
};

// A key's values in enumeration order, found by name without regard to case.
class RegistryValues {
 public:
  using const_iterator = std::vector<RegistryValue>::const_iterator;

  void Add(RegistryValue value);  // a name already present is kept as it was
  const RegistryValue* Find(std::string_view name) const;
  bool Contains(std::string_view name) const { return Find(name) != nullptr; }
  std::size_t size() const { return values_.size(); }
  bool empty() const { return values_.empty(); }
  const_iterator begin() const { return values_.begin(); }
  const_iterator end() const { return values_.end(); }

 private:
  std::vector<RegistryValue> values_;
};

RegistryValues EnumValues(std::string_view key);

// One pass of RegEnumValueA over a buffer that grows as the call asks; shared by
// EnumValues and the text export.
class ValueEnumerator {
 public:
  explicit ValueEnumerator(platform::RegKey key) : key_(key) {}
  // False at the end of the values or on a failure.
  bool Next(RegistryValue* value);
  // True when the listing ended on a failure rather than at its end.
  bool Failed() const { return failed_; }

 private:
  platform::RegKey key_;
  std::uint32_t index_ = 0;
  bool failed_ = false;
  std::vector<char> name_ = std::vector<char>(260);
  std::vector<std::uint8_t> data_ = std::vector<std::uint8_t>(4096);
};

// An open registry key that is closed when it goes out of scope.
class OpenedKey {
 public:
  OpenedKey() = default;
  explicit OpenedKey(platform::RegKey handle) : handle_(handle) {}
  ~OpenedKey() { Close(); }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  OpenedKey(OpenedKey&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }
  OpenedKey& operator=(OpenedKey&& other) noexcept;

  platform::RegKey get() const { return handle_; }
  explicit operator bool() const { return handle_ != 0; }
  void Close();

 private:
  platform::RegKey handle_ = 0;
};

OpenedKey OpenForReading(const KeyPath& path);  // empty when it cannot be opened

}  // namespace quarnel::registry
