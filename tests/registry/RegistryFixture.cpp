#include "RegistryFixture.h"

#include <algorithm>
#include <cstdio>

#include "platform/portable/MemoryRegistry.h"
#ifdef _WIN32
#include "platform/win32/Win32Registry.h"
#endif

namespace quarnel::testing {

using platform::RegKey;

namespace {

std::vector<std::string> ChildNames(platform::RegistryApi& registry, RegKey key) {
  std::vector<std::string> children;
  for (std::uint32_t index = 0;; ++index) {
    char name[260];
    std::uint32_t length = sizeof name;
    if (registry.EnumKeyEx(key, index, name, &length) != 0) break;
    children.emplace_back(name, length);
  }
  return children;
}

}  // namespace

std::vector<RegistryBackend> RegistryBackends() {
  std::vector<RegistryBackend> backends;
  backends.push_back({"Memory", [] { return std::unique_ptr<platform::RegistryApi>(new platform::MemoryRegistry); }});
#ifdef _WIN32
  backends.push_back({"Win32", [] { return std::unique_ptr<platform::RegistryApi>(new platform::Win32Registry); }});
#endif
  return backends;
}

std::string BackendName(const ::testing::TestParamInfo<RegistryBackend>& info) { return info.param.name; }

void RegistryTest::SetUp() {
  registry_ = GetParam().make();
  platform::Services with;
  with.registry = registry_.get();
  with.messages = &messages_;
  services_.emplace(with);
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "." + test->name();
  std::replace(name.begin(), name.end(), '/', '_');
  basePath_ = "Software\\QuarnelTests\\" + name;
  DeleteTree(basePath_);
  MakeKey("");
}

void RegistryTest::TearDown() {
  DeleteTree(basePath_);
  if (auto* memory = dynamic_cast<platform::MemoryRegistry*>(registry_.get())) {
    EXPECT_EQ(memory->OpenHandleCount(), 0u) << "a key handle was left open";
  }
  services_.reset();
}

std::string RegistryTest::FullPath(const std::string& below) const {
  return below.empty() ? basePath_ : basePath_ + "\\" + below;
}

std::string RegistryTest::BaseName(const std::string& below) const { return "HKEY_CURRENT_USER\\" + FullPath(below); }

void RegistryTest::MakeKey(const std::string& below) {
  RegKey key = 0;
  ASSERT_EQ(reg().CreateKey(platform::kHkeyCurrentUser, FullPath(below).c_str(), &key), 0);
  reg().CloseKey(key);
}

void RegistryTest::SetValue(const std::string& below, const std::string& name, std::uint32_t type,
                            const std::string& bytes) {
  RegKey key = 0;
  ASSERT_EQ(reg().CreateKey(platform::kHkeyCurrentUser, FullPath(below).c_str(), &key), 0);
  EXPECT_EQ(reg().SetValueEx(key, name.c_str(), type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                             static_cast<std::uint32_t>(bytes.size())),
            0);
  reg().CloseKey(key);
}

void RegistryTest::SetText(const std::string& below, const std::string& name, const std::string& text) {
  SetValue(below, name, platform::kRegSz, text + std::string(1, '\0'));
}

void RegistryTest::SetDword(const std::string& below, const std::string& name, std::uint32_t number) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
  SetValue(below, name, platform::kRegDword, bytes);
}

bool RegistryTest::HasKey(const std::string& below) {
  RegKey key = 0;
  if (reg().OpenKeyEx(platform::kHkeyCurrentUser, FullPath(below).c_str(), platform::kKeyRead, &key) != 0) return false;
  reg().CloseKey(key);
  return true;
}

std::optional<std::pair<std::uint32_t, std::string>> RegistryTest::GetValue(const std::string& below,
                                                                            const std::string& name) {
  RegKey key = 0;
  if (reg().OpenKeyEx(platform::kHkeyCurrentUser, FullPath(below).c_str(), platform::kKeyRead, &key) != 0)
    return std::nullopt;
  std::uint32_t type = 0, size = 0;
  std::optional<std::pair<std::uint32_t, std::string>> result;
  if (reg().QueryValueEx(key, name.c_str(), &type, nullptr, &size) == 0) {
    std::string bytes(size, '\0');
    if (reg().QueryValueEx(key, name.c_str(), &type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size) == 0)
      result.emplace(type, bytes.substr(0, size));
  }
  reg().CloseKey(key);
  return result;
}

namespace {

void DumpInto(platform::RegistryApi& reg, RegKey root, const std::string& subPath, const std::string& relative,
              std::string* out) {
  RegKey key = 0;
  if (reg.OpenKeyEx(root, subPath.c_str(), platform::kKeyRead, &key) != 0) return;
  *out += "[" + relative + "]\n";
  for (std::uint32_t index = 0;; ++index) {
    char name[16384];
    std::uint32_t nameLength = sizeof name, type = 0, size = 0;
    if (reg.EnumValue(key, index, name, &nameLength, &type, nullptr, &size) != 0) break;
    std::string bytes(size, '\0');
    nameLength = sizeof name;
    reg.EnumValue(key, index, name, &nameLength, &type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size);
    *out += std::string(name, nameLength) + " type " + std::to_string(type) + ":";
    for (unsigned char c : bytes.substr(0, size)) *out += " " + std::to_string(c);
    *out += "\n";
  }
  std::vector<std::string> children = ChildNames(reg, key);
  reg.CloseKey(key);
  for (const std::string& child : children) DumpInto(reg, root, subPath + "\\" + child, relative + "\\" + child, out);
}

}  // namespace

std::string DumpTree(platform::RegistryApi& registry, RegKey root, const std::string& subPath) {
  std::string out;
  DumpInto(registry, root, subPath, "", &out);
  return out;
}

std::string RegistryTest::Dump(const std::string& below) {
  return DumpTree(reg(), platform::kHkeyCurrentUser, FullPath(below));
}

void RegistryTest::DeleteTree(const std::string& subPath) {
  RegKey key = 0;
  if (reg().OpenKeyEx(platform::kHkeyCurrentUser, subPath.c_str(), platform::kKeyRead, &key) != 0) return;
  std::vector<std::string> children = ChildNames(reg(), key);
  reg().CloseKey(key);
  for (const std::string& child : children) DeleteTree(subPath + "\\" + child);
  reg().DeleteKey(platform::kHkeyCurrentUser, subPath.c_str());
}

}  // namespace quarnel::testing
