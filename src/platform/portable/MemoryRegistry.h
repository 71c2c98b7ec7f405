#pragma once
// The registry function set over an in-memory key tree, for builds and tests without a
// Windows registry. It answers as advapi32 does under the cases the program relies on:
// the same result codes, names compared without regard to case (a name keeps the case it
// was created with), sub-keys enumerated in sorted order, values in the order they were
// first set, and handles of deleted keys that fail with ERROR_KEY_DELETED.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace quarnel::platform {

class MemoryRegistry : public RegistryApi {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;
  MemoryRegistry(const MemoryRegistry&) = delete;
  MemoryRegistry& operator=(const MemoryRegistry&) = delete;

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

  // Handles opened and not yet closed: tests use it to prove that nothing leaks.
  std::size_t OpenHandleCount() const { return handles_.size(); }

 private:
  struct Node;
  using NodePtr = std::shared_ptr<Node>;

  long Resolve(RegKey key, NodePtr* node) const;
  // Walks subKey below start; with create, makes the missing keys on the way.
  long Walk(const NodePtr& start, const char* subKey, bool create, NodePtr* found);
  RegKey NewHandle(const NodePtr& node);

  std::map<RegKey, NodePtr> roots_;
  std::map<RegKey, NodePtr> handles_;
  RegKey nextHandle_ = 0x1000;
};

}  // namespace quarnel::platform
