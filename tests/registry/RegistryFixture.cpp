#include "RegistryFixture.h"

#include <algorithm>

#include "platform/portable/MemoryRegistry.h"
#ifdef _WIN32
#include "platform/win32/Win32Registry.h"
#endif

namespace quarnel::testing {

using platform::kHkeyCurrentUser;
using platform::RegKey;

namespace {

std::vector<std::string> ChildNames(platform::RegistryApi& registry, RegKey key) {
  std::vector<std::string> children;
  char name[260];
  std::uint32_t length = sizeof name;
  for (std::uint32_t index = 0; registry.EnumKeyEx(key, index, name, &length) == 0; ++index, length = sizeof name) {
    children.emplace_back(name, length);
  }
  return children;
}

void DumpInto(platform::RegistryApi& reg, RegKey root, const std::string& subPath, const std::string& relative,
              std::string* out) {
  RegKey key = 0;
  if (reg.OpenKeyEx(root, subPath.c_str(), platform::kKeyRead, &key) != 0) return;
  *out += "[" + relative + "]\n";
  std::vector<char> name(16384);
  std::uint32_t nameLength = 16384, type = 0, size = 0;
  for (std::uint32_t index = 0; reg.EnumValue(key, index, name.data(), &nameLength, &type, nullptr, &size) == 0;
       ++index, nameLength = 16384, size = 0) {
    std::string bytes(size, '\0');
    nameLength = 16384;
    reg.EnumValue(key, index, name.data(), &nameLength, &type, reinterpret_cast<std::uint8_t*>(bytes.data()), &size);
    *out += std::string(name.data(), nameLength) + " type " + std::to_string(type) + ":";
    for (unsigned char c : bytes.substr(0, size)) *out += " " + std::to_string(c);
    *out += "\n";
  }
  std::vector<std::string> children = ChildNames(reg, key);
  reg.CloseKey(key);
  for (const std::string& child : children) DumpInto(reg, root, subPath + "\\" + child, relative + "\\" + child, out);
}

}  // namespace

std::vector<RegistryBackend> RegistryBackends() {
  std::vector<RegistryBackend> backends = {
      {"Memory", [] { return std::unique_ptr<platform::RegistryApi>(new platform::MemoryRegistry); }}};
#ifdef _WIN32
  backends.push_back({"Win32", [] { return std::unique_ptr<platform::RegistryApi>(new platform::Win32Registry); }});
#endif
  return backends;
}

std::string BackendName(const ::testing::TestParamInfo<RegistryBackend>& info) { return info.param.name; }

void RegistryTest::SetUp() {
  registry_ = GetParam().make();
  services_.emplace(platform::Services{.registry = registry_.get(), .messages = &messages_});
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
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, FullPath(below).c_str(), &key), 0);
  reg().CloseKey(key);
}

void RegistryTest::SetValue(const std::string& below, const std::string& name, std::uint32_t type,
                            const std::string& bytes) {
  RegKey key = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, FullPath(below).c_str(), &key), 0);
  EXPECT_EQ(reg().SetValueEx(key, name.c_str(), type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                             static_cast<std::uint32_t>(bytes.size())),
            0);
  reg().CloseKey(key);
}

void RegistryTest::SetText(const std::string& below, const std::string& name, const std::string& text) {
  SetValue(below, name, platform::kRegSz, text + std::string(1, '\0'));
}

void RegistryTest::SetDword(const std::string& below, const std::string& name, std::uint32_t number) {
  const char bytes[] = {static_cast<char>(number), static_cast<char>(number >> 8), static_cast<char>(number >> 16),
                        static_cast<char>(number >> 24)};
  SetValue(below, name, platform::kRegDword, std::string(bytes, 4));
}

std::optional<std::pair<std::uint32_t, std::string>> RegistryTest::GetValue(const std::string& below,
                                                                            const std::string& name) {
  RegKey key = 0;
  if (reg().OpenKeyEx(kHkeyCurrentUser, FullPath(below).c_str(), platform::kKeyRead, &key) != 0) return std::nullopt;
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

std::string DumpTree(platform::RegistryApi& registry, RegKey root, const std::string& subPath) {
  std::string out;
  DumpInto(registry, root, subPath, "", &out);
  return out;
}

std::string RegistryTest::Dump(const std::string& below) { return DumpTree(reg(), kHkeyCurrentUser, FullPath(below)); }

void RegistryTest::DeleteTree(const std::string& subPath) {
  RegKey key = 0;
  if (reg().OpenKeyEx(kHkeyCurrentUser, subPath.c_str(), platform::kKeyRead, &key) != 0) return;
  std::vector<std::string> children = ChildNames(reg(), key);
  reg().CloseKey(key);
  for (const std::string& child : children) DeleteTree(subPath + "\\" + child);
  reg().DeleteKey(kHkeyCurrentUser, subPath.c_str());
}

}  // namespace quarnel::testing
