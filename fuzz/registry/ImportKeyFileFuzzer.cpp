// ImportKeyFile over arbitrary bytes, against the in-memory registry: it must neither
// crash nor hang, must leave no key open, must never touch keys outside the target, and a
// file it refuses must leave the target tree exactly as it was.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "registry/ModReg.h"
#include "registry/RegistryText.h"

namespace {

using namespace quarnel::platform;

// Serves the fuzzer's input as the one file there is.
class OneInputFile : public FileSystem {
 public:
  explicit OneInputFile(std::string bytes) : bytes_(std::move(bytes)) {}
  bool FileExists(const std::string&) override { return true; }
  bool FolderExists(const std::string&) override { return false; }
  std::vector<std::string> ListFiles(const std::string&) override { return {}; }
  bool CreateFolder(const std::string&) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  bool MoveReplace(const std::string&, const std::string&) override { return false; }
  bool Copy(const std::string&, const std::string&) override { return false; }
  bool SetNormalAttributes(const std::string&) override { return false; }
  std::optional<std::uint64_t> FileSize(const std::string&) override { return bytes_.size(); }
  bool AppendBytes(const std::string&, std::string_view) override { return false; }
  bool ReadAll(const std::string&, std::string* out) override {
    *out = bytes_;
    return true;
  }
  bool WriteAll(const std::string&, std::string_view) override { return false; }
  bool FlushToDisk(const std::string&) override { return false; }
  std::optional<std::uint64_t> FreeSpace(const std::string&) override { return std::nullopt; }
  std::optional<bool> IsReadOnly(const std::string&) override { return false; }
  bool SetReadOnly(const std::string&, bool) override { return false; }

 private:
  std::string bytes_;
};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

void Set(RegistryApi& reg, const char* path, const char* name, std::uint32_t type, const std::string& bytes) {
  RegKey key = 0;
  reg.CreateKey(kHkeyCurrentUser, path, &key);
  reg.SetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                 static_cast<std::uint32_t>(bytes.size()));
  reg.CloseKey(key);
}

void DumpInto(RegistryApi& reg, const std::string& path, std::string* out) {
  RegKey key = 0;
  if (reg.OpenKeyEx(kHkeyCurrentUser, path.c_str(), kKeyRead, &key) != 0) return;
  *out += "[" + path + "]\n";
  for (std::uint32_t index = 0;; ++index) {
    std::vector<char> name(16384);
    std::uint32_t nameLength = static_cast<std::uint32_t>(name.size()), type = 0, size = 0;
    if (reg.EnumValue(key, index, name.data(), &nameLength, &type, nullptr, &size) != 0) break;
    std::string data(size, '\0');
    nameLength = static_cast<std::uint32_t>(name.size());
    reg.EnumValue(key, index, name.data(), &nameLength, &type, reinterpret_cast<std::uint8_t*>(data.data()), &size);
    *out += std::string(name.data(), nameLength) + "=" + std::to_string(type) + ":" + data + "\n";
  }
  std::vector<std::string> children;
  for (std::uint32_t index = 0;; ++index) {
    char name[260];
    std::uint32_t length = sizeof name;
    if (reg.EnumKeyEx(key, index, name, &length) != 0) break;
    children.emplace_back(name, length);
  }
  reg.CloseKey(key);
  for (const std::string& child : children) DumpInto(reg, path + "\\" + child, out);
}

std::string Dump(RegistryApi& reg, const std::string& path) {
  std::string out;
  DumpInto(reg, path, &out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryRegistry registry;
  OneInputFile file(std::string(reinterpret_cast<const char*>(data), size));
  RecordingMessages messages;
  Services with;
  with.registry = &registry;
  with.files = &file;
  with.messages = &messages;
  ScopedServices scope(with);

  Set(registry, "Software\\Target", "Account Name", kRegSz, std::string("Main\0", 5));
  Set(registry, "Software\\Target\\Sub", "Count", kRegDword, std::string("\xFF\xFF\xFF\xFF", 4));
  Set(registry, "Software\\Target\\Sub\\Deeper", "", kRegBinary, std::string("\x01\x02", 2));
  Set(registry, "Software\\Sibling", "Kept", kRegSz, std::string("yes\0", 4));
  const std::string target = Dump(registry, "Software\\Target");
  const std::string sibling = Dump(registry, "Software\\Sibling");

  bool refused = false;
  try {
    quarnel::registry::ImportKeyFile("HKEY_CURRENT_USER\\Software\\Target", "input.txt");
  } catch (const quarnel::registry::RegistryError&) {
    refused = true;
  }
  Check(registry.OpenHandleCount() == 0, "a key was left open");
  Check(messages.shown.empty(), "a message was shown");
  Check(Dump(registry, "Software\\Sibling") == sibling, "a key outside the target changed");
  if (refused) Check(Dump(registry, "Software\\Target") == target, "a refused file changed the target");
  return 0;
}
