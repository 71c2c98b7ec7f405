#include "registry/ModReg.h"

#include <algorithm>
#include <cstring>

#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::registry {

using platform::RegKey;
using platform::Registry;

namespace {

constexpr std::size_t kNameBufferLength = 260;
constexpr std::uint32_t kStringValueBufferSize = 255;
// Value names may be this long; the first name buffer holds only the usual ones.
constexpr std::size_t kLongestValueName = 16383;

struct RootName {
  const char* name;
  RegKey handle;
};

constexpr RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", platform::kHkeyClassesRoot},
    {"HKEY_CURRENT_USER", platform::kHkeyCurrentUser},
    {"HKEY_LOCAL_MACHINE", platform::kHkeyLocalMachine},
    {"HKEY_USERS", platform::kHkeyUsers},
    {"HKEY_PERFORMANCE_DATA", platform::kHkeyPerformanceData},
    {"HKEY_CURRENT_CONFIG", platform::kHkeyCurrentConfig},
    {"HKEY_DYN_DATA", platform::kHkeyDynData},
};

std::string_view LeftTrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

}  // namespace

OpenedKey& OpenedKey::operator=(OpenedKey&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = 0;
  }
  return *this;
}

void OpenedKey::Close() {
  if (handle_) Registry().CloseKey(handle_);
  handle_ = 0;
}

OpenedKey OpenForReading(const KeyPath& path) {
  RegKey handle = 0;
  if (!path.root || Registry().OpenKeyEx(path.root, path.subPath.c_str(), platform::kKeyRead, &handle) != 0)
    return OpenedKey();
  return OpenedKey(handle);
}

RegKey RootKeyFromName(std::string_view rootName) {
  for (const RootName& root : kRoots)
    if (rootName == root.name) return root.handle;
  return 0;
}

KeyPath SplitKeyName(std::string_view fullName) {
  if (fullName.substr(0, 5) != "HKEY_" || fullName.back() == '\\') {
    platform::Messages().Show("Incorrect Format:\n\n" + std::string(fullName), "Quarnel Backup",
                              platform::MessageButtons::Ok, platform::MessageIcon::None);
    KeyPath refused;
    refused.refused = true;
    return refused;
  }
  std::size_t cut = fullName.find('\\');
  KeyPath path;
  path.root = RootKeyFromName(fullName.substr(0, cut));
  if (path.root && cut != std::string_view::npos) path.subPath = std::string(fullName.substr(cut + 1));
  return path;
}

namespace {

// The operations below a name already split: the tree walks extend a checked name, so
// they neither split again nor repeat the "Incorrect Format:" message.
std::vector<std::string> SubKeysAt(const KeyPath& path) {
  std::vector<std::string> names;
  OpenedKey opened = OpenForReading(path);
  if (!opened) return names;
  for (std::uint32_t index = 0;; ++index) {
    char name[kNameBufferLength] = {};
    std::uint32_t length = kNameBufferLength;
    long rc = Registry().EnumKeyEx(opened.get(), index, name, &length);
    if (rc == platform::kErrorNoMoreItems) break;
    if (rc != 0) throw RegistryError("Cannot list the sub-keys of " + path.subPath);
    names.emplace_back(name, std::find(name, name + kNameBufferLength, '\0'));
  }
  return names;
}

void DeleteKeyAt(const KeyPath& path) {
  std::size_t cut = path.subPath.rfind('\\');
  std::string parentPath = cut == std::string::npos ? std::string() : path.subPath.substr(0, cut);
  std::string last = cut == std::string::npos ? path.subPath : path.subPath.substr(cut + 1);
  RegKey parent = 0;
  if (Registry().OpenKeyEx(path.root, parentPath.c_str(), platform::kKeyWrite, &parent) != 0) return;
  OpenedKey closer(parent);
  Registry().DeleteKey(parent, last.c_str());
}

void DeleteTreeAt(const KeyPath& path) {
  for (const std::string& child : SubKeysAt(path)) {
    KeyPath childPath{path.root, path.subPath.empty() ? child : path.subPath + "\\" + child};
    DeleteTreeAt(childPath);
  }
  DeleteKeyAt(path);
}

}  // namespace

bool KeyExists(std::string_view key) { return static_cast<bool>(OpenForReading(SplitKeyName(key))); }

long CreateKey(std::string_view key) {
  KeyPath path = SplitKeyName(key);
  if (!path.root) return platform::kErrorInvalidParameter;
  RegKey handle = 0;
  long rc = Registry().CreateKey(path.root, path.subPath.c_str(), &handle);
  if (rc != 0) return rc;
  return Registry().CloseKey(handle);
}

void DeleteKey(std::string_view key) {
  KeyPath path = SplitKeyName(key);
  if (path.root) DeleteKeyAt(path);
}

void DeleteKeyTree(std::string_view key) {
  KeyPath path = SplitKeyName(key);
  if (path.root) DeleteTreeAt(path);
}

std::string ReadStringValue(std::string_view key, std::string_view valueName) {
  KeyPath path = SplitKeyName(key);
  if (path.refused) return std::string();
  OpenedKey opened = OpenForReading(path);
  if (!opened) return "Error";
  std::uint8_t buffer[kStringValueBufferSize] = {};
  std::uint32_t size = kStringValueBufferSize;
  std::uint32_t type = 0;
  if (Registry().QueryValueEx(opened.get(), std::string(valueName).c_str(), &type, buffer, &size) != 0)
    return "Error";
  std::string_view text(reinterpret_cast<const char*>(buffer), size > 0 ? size - 1 : 0);
  return std::string(LeftTrimBlanks(text));
}

bool ReadDefaultValue(std::string_view key, std::string* text) {
  KeyPath path = SplitKeyName(key);
  if (!path.root) return false;
  long size = 0;
  long rc = Registry().QueryValue(path.root, path.subPath.c_str(), nullptr, &size);
  if ((rc != 0 && rc != platform::kErrorMoreData) || size < 0) return false;
  std::string buffer(static_cast<std::size_t>(size), '\0');
  if (Registry().QueryValue(path.root, path.subPath.c_str(), buffer.data(), &size) != 0) return false;
  buffer.resize(size > 0 ? std::min<std::size_t>(buffer.size(), size - 1) : 0);
  *text = std::move(buffer);
  return true;
}

std::vector<std::string> EnumSubKeys(std::string_view key) { return SubKeysAt(SplitKeyName(key)); }

std::string RegistryValue::Text() const { return data.empty() ? std::string() : data.substr(0, data.size() - 1); }

std::int32_t RegistryValue::Number() const {
  std::uint32_t number = 0;
  for (std::size_t i = 0; i < 4 && i < data.size(); ++i)
    number |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(data[i])) << (8 * i);
  return static_cast<std::int32_t>(number);
}

void RegistryValues::Add(RegistryValue value) {
  if (!Contains(value.name)) values_.push_back(std::move(value));
}

const RegistryValue* RegistryValues::Find(std::string_view name) const {
  for (const RegistryValue& value : values_)
    if (platform::AnsiEqualNoCase(value.name, name)) return &value;
  return nullptr;
}

bool ValueEnumerator::Next(RegistryValue* value) {
  for (;;) {
    auto nameLength = static_cast<std::uint32_t>(name_.size());
    auto dataSize = static_cast<std::uint32_t>(data_.size());
    std::uint32_t type = 0;
    long rc = Registry().EnumValue(key_, index_, name_.data(), &nameLength, &type, data_.data(), &dataSize);
    if (rc == platform::kErrorMoreData) {
      // The data or the name did not fit. Asking again with the same buffers would get the
      // same answer forever, so the buffer that was too small grows, once, to what is needed.
      if (dataSize > data_.size()) {
        data_.resize(dataSize);
        continue;
      }
      if (name_.size() <= kLongestValueName) {
        name_.resize(kLongestValueName + 1);
        continue;
      }
      failed_ = true;
      return false;
    }
    if (rc != 0) {
      failed_ = rc != platform::kErrorNoMoreItems;
      return false;
    }
    value->name.assign(name_.data(), std::min<std::size_t>(nameLength, name_.size()));
    value->type = type;
    value->data.assign(reinterpret_cast<const char*>(data_.data()), std::min<std::size_t>(dataSize, data_.size()));
    ++index_;
    return true;
  }
}

RegistryValues EnumValues(std::string_view key) {
  RegistryValues values;
  OpenedKey opened = OpenForReading(SplitKeyName(key));
  if (!opened) return values;
  ValueEnumerator enumerator(opened.get());
  RegistryValue value;
  while (enumerator.Next(&value)) values.Add(value);
  return values;
}

}  // namespace quarnel::registry
