#include "platform/portable/MemoryRegistry.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

namespace quarnel::platform {

namespace {

constexpr long kErrorBadPathname = 161;
constexpr long kErrorKeyDeleted = 1018;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

std::string_view NameOf(const char* text) { return text ? std::string_view(text) : std::string_view(); }

}  // namespace

struct MemoryRegistry::Node {
  struct Value {
    std::string name;
    std::uint32_t type = kRegNone;
    std::string data;
  };

  std::string name;
  Node* parent = nullptr;
  bool deleted = false;
  std::vector<NodePtr> children;  // kept sorted by name, without regard to case
  std::vector<Value> values;      // in the order they were first set

  std::vector<NodePtr>::iterator LowerBound(std::string_view childName) {
    return std::lower_bound(children.begin(), children.end(), childName,
                            [](const NodePtr& child, std::string_view n) { return AnsiCompareNoCase(child->name, n) < 0; });
  }
  NodePtr Child(std::string_view childName) {
    auto it = LowerBound(childName);
    return it != children.end() && AnsiEqualNoCase((*it)->name, childName) ? *it : nullptr;
  }
  Value* FindValue(std::string_view valueName) {
    for (Value& value : values)
      if (AnsiEqualNoCase(value.name, valueName)) return &value;
    return nullptr;
  }
};

MemoryRegistry::MemoryRegistry() {
  for (RegKey root = kHkeyClassesRoot; root <= kHkeyDynData; ++root) roots_[root] = std::make_shared<Node>();
}

MemoryRegistry::~MemoryRegistry() = default;

long MemoryRegistry::Resolve(RegKey key, NodePtr* node) const {
  auto root = roots_.find(key);
  if (root != roots_.end()) {
    *node = root->second;
    return kErrorSuccess;
  }
  auto handle = handles_.find(key);
  if (handle == handles_.end()) return kErrorInvalidHandle;
  if (handle->second->deleted) return kErrorKeyDeleted;
  *node = handle->second;
  return kErrorSuccess;
}

long MemoryRegistry::Walk(const NodePtr& start, const char* subKey, bool create, NodePtr* found) {
  std::string_view path = NameOf(subKey);
  // A path may not begin with a backslash; doubled and trailing ones are passed over.
  if (!path.empty() && path.front() == '\\') return kErrorBadPathname;
  NodePtr node = start;
  while (!path.empty()) {
    std::size_t cut = path.find('\\');
    std::string_view part = path.substr(0, cut);
    path = cut == std::string_view::npos ? std::string_view() : path.substr(cut + 1);
    if (part.empty()) continue;
    if (part.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
    auto it = node->LowerBound(part);
    if (it != node->children.end() && AnsiEqualNoCase((*it)->name, part)) {
      node = *it;
      continue;
    }
    if (!create) return kErrorFileNotFound;
    auto child = std::make_shared<Node>();
    child->name = std::string(part);
    child->parent = node.get();
    node->children.insert(it, child);
    node = child;
  }
  *found = node;
  return kErrorSuccess;
}

RegKey MemoryRegistry::NewHandle(const NodePtr& node) {
  RegKey handle = nextHandle_;
  nextHandle_ += 4;
  handles_[handle] = node;
  return handle;
}

long MemoryRegistry::OpenKeyEx(RegKey root, const char* subKey, std::uint32_t, RegKey* out) {
  NodePtr start, node;
  if (long rc = Resolve(root, &start)) return rc;
  if (long rc = Walk(start, subKey, false, &node)) return rc;
  *out = NewHandle(node);
  return kErrorSuccess;
}

long MemoryRegistry::OpenKey(RegKey root, const char* subKey, RegKey* out) {
  // Without a sub-key the call hands back the very handle it was given.
  if (NameOf(subKey).empty()) {
    NodePtr node;
    if (long rc = Resolve(root, &node)) return rc;
    *out = root;
    return kErrorSuccess;
  }
  return OpenKeyEx(root, subKey, kKeyRead, out);
}

long MemoryRegistry::CreateKey(RegKey root, const char* subKey, RegKey* out) {
  NodePtr start, node;
  if (long rc = Resolve(root, &start)) return rc;
  if (long rc = Walk(start, subKey, true, &node)) return rc;
  *out = NewHandle(node);
  return kErrorSuccess;
}

long MemoryRegistry::DeleteKey(RegKey parent, const char* subKey) {
  if (!subKey) return kErrorInvalidParameter;
  NodePtr start, node;
  if (long rc = Resolve(parent, &start)) return rc;
  if (long rc = Walk(start, subKey, false, &node)) return rc;
  if (!node->children.empty() || !node->parent) return kErrorAccessDenied;
  Node* owner = node->parent;
  owner->children.erase(owner->LowerBound(node->name));
  node->deleted = true;
  node->parent = nullptr;
  node->values.clear();
  return kErrorSuccess;
}

long MemoryRegistry::DeleteValue(RegKey key, const char* name) {
  NodePtr node;
  if (long rc = Resolve(key, &node)) return rc;
  Node::Value* value = node->FindValue(NameOf(name));
  if (!value) return kErrorFileNotFound;
  node->values.erase(node->values.begin() + (value - node->values.data()));
  return kErrorSuccess;
}

namespace {

// The buffer rule shared by the value queries: null data asks for the size only.
template <typename Size>
long CopyOut(std::string_view bytes, std::uint8_t* data, Size* size) {
  if (!size) return data ? kErrorInvalidParameter : kErrorSuccess;
  Size needed = static_cast<Size>(bytes.size());
  if (data && *size < needed) {
    *size = needed;
    return kErrorMoreData;
  }
  if (data) std::memcpy(data, bytes.data(), bytes.size());
  *size = needed;
  return kErrorSuccess;
}

}  // namespace

long MemoryRegistry::QueryValueEx(RegKey key, const char* name, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* size) {
  NodePtr node;
  if (long rc = Resolve(key, &node)) return rc;
  const Node::Value* value = node->FindValue(NameOf(name));
  if (!value) return kErrorFileNotFound;
  if (type) *type = value->type;
  return CopyOut(value->data, data, size);
}

long MemoryRegistry::QueryValue(RegKey root, const char* subKey, char* data, long* size) {
  NodePtr start, node;
  if (long rc = Resolve(root, &start)) return rc;
  if (long rc = Walk(start, subKey, false, &node)) return rc;
  // A key without a default value answers with empty text.
  const Node::Value* value = node->FindValue("");
  std::string_view bytes = value ? std::string_view(value->data) : std::string_view("", 1);
  return CopyOut(bytes, reinterpret_cast<std::uint8_t*>(data), size);
}

long MemoryRegistry::EnumKeyEx(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) {
  NodePtr node;
  if (long rc = Resolve(key, &node)) return rc;
  if (index >= node->children.size()) return kErrorNoMoreItems;
  const std::string& childName = node->children[index]->name;
  if (*nameLength <= childName.size()) return kErrorMoreData;
  std::memcpy(name, childName.c_str(), childName.size() + 1);
  *nameLength = static_cast<std::uint32_t>(childName.size());
  return kErrorSuccess;
}

long MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength,
                               std::uint32_t* type, std::uint8_t* data, std::uint32_t* dataSize) {
  NodePtr node;
  if (long rc = Resolve(key, &node)) return rc;
  if (index >= node->values.size()) return kErrorNoMoreItems;
  const Node::Value& value = node->values[index];
  if (type) *type = value.type;
  auto needed = static_cast<std::uint32_t>(value.data.size());
  // When either buffer is too small nothing is copied, and the data size is still told.
  bool dataFits = !data || (dataSize && *dataSize >= needed);
  if (*nameLength <= value.name.size() || !dataFits) {
    if (dataSize) *dataSize = needed;
    return kErrorMoreData;
  }
  std::memcpy(name, value.name.c_str(), value.name.size() + 1);
  *nameLength = static_cast<std::uint32_t>(value.name.size());
  return CopyOut(value.data, data, dataSize);
}

long MemoryRegistry::SetValueEx(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) {
  NodePtr node;
  if (long rc = Resolve(key, &node)) return rc;
  std::string_view valueName = NameOf(name);
  if (valueName.size() > kMaxValueNameLength || (!data && size)) return kErrorInvalidParameter;
  std::string bytes = data ? std::string(reinterpret_cast<const char*>(data), size) : std::string();
  if (Node::Value* value = node->FindValue(valueName)) {
    value->type = type;
    value->data = std::move(bytes);
  } else {
    node->values.push_back({std::string(valueName), type, std::move(bytes)});
  }
  return kErrorSuccess;
}

long MemoryRegistry::CloseKey(RegKey key) {
  if (roots_.count(key)) return kErrorSuccess;
  return handles_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

}  // namespace quarnel::platform
