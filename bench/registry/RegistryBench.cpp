// The registry side of bench/registry/run.
//   registry_bench build <key below HKEY_CURRENT_USER> <keys> <values>
//       makes a tree of that many keys (100 branches, the rest below them) and values of
//       mixed types (text, expandable text, binary, number), spread evenly.
//   registry_bench export <full key name> <file>
//   registry_bench import <full key name> <file>
// export and import print their own time and, for export, the time spent writing the file
// and how many writes it took (the export gathers its lines and writes them in large pieces).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Services.h"
#include "registry/ModReg.h"
#include "registry/RegistryText.h"

namespace {

using namespace quarnel::platform;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Forwards to the build's files and adds up the time spent appending.
class TimedFiles : public FileSystem {
 public:
  explicit TimedFiles(FileSystem& real) : real_(real) {}
  bool FileExists(const std::string& p) override { return real_.FileExists(p); }
  bool FolderExists(const std::string& p) override { return real_.FolderExists(p); }
  std::vector<std::string> ListFiles(const std::string& f) override { return real_.ListFiles(f); }
  bool CreateFolder(const std::string& p) override { return real_.CreateFolder(p); }
  bool RemoveFile(const std::string& p) override { return real_.RemoveFile(p); }
  bool MoveReplace(const std::string& a, const std::string& b) override { return real_.MoveReplace(a, b); }
  bool Copy(const std::string& a, const std::string& b) override { return real_.Copy(a, b); }
  bool SetNormalAttributes(const std::string& p) override { return real_.SetNormalAttributes(p); }
  std::optional<std::uint64_t> FileSize(const std::string& p) override { return real_.FileSize(p); }
  bool AppendBytes(const std::string& p, std::string_view bytes) override {
    Clock::time_point start = Clock::now();
    bool ok = real_.AppendBytes(p, bytes);
    appending += Clock::now() - start;
    ++appends;
    return ok;
  }
  bool ReadAll(const std::string& p, std::string* out) override { return real_.ReadAll(p, out); }
  bool WriteAll(const std::string& p, std::string_view bytes) override { return real_.WriteAll(p, bytes); }
  bool FlushToDisk(const std::string& p) override { return real_.FlushToDisk(p); }
  std::optional<std::uint64_t> FreeSpace(const std::string& f) override { return real_.FreeSpace(f); }
  std::optional<bool> IsReadOnly(const std::string& p) override { return real_.IsReadOnly(p); }
  bool SetReadOnly(const std::string& p, bool on) override { return real_.SetReadOnly(p, on); }

  Clock::duration appending{};
  long appends = 0;

 private:
  FileSystem& real_;
};

void SetValue(RegKey key, const std::string& name, std::uint32_t type, const std::string& bytes) {
  Registry().SetValueEx(key, name.c_str(), type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                        static_cast<std::uint32_t>(bytes.size()));
}

int Build(const std::string& below, long keys, long values) {
  const long branches = 100;
  long made = 0, valuesMade = 0;
  for (long k = 0; k < keys; ++k) {
    std::string path = below;
    if (k < branches) {
      path += "\\Branch" + std::to_string(k);
    } else {
      path += "\\Branch" + std::to_string(k % branches) + "\\Leaf" + std::to_string(k);
    }
    RegKey key = 0;
    if (Registry().CreateKey(kHkeyCurrentUser, path.c_str(), &key) != 0) return 1;
    ++made;
    long share = values / keys + (k < values % keys ? 1 : 0);
    for (long v = 0; v < share; ++v, ++valuesMade) {
      std::string name = "Value " + std::to_string(v);
      switch (valuesMade % 4) {
        case 0: SetValue(key, name, kRegSz, "Account text number " + std::to_string(valuesMade) + std::string(1, '\0')); break;
        case 1: SetValue(key, name, kRegExpandSz, "%UserProfile%\\Mail\\" + std::to_string(valuesMade) + std::string(1, '\0')); break;
        case 2: {
          std::string bytes(16 + valuesMade % 48, '\0');
          for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((valuesMade * 31 + i) & 0xFF);
          SetValue(key, name, kRegBinary, bytes);
          break;
        }
        default: {
          std::uint32_t number = static_cast<std::uint32_t>(valuesMade * 2654435761u);
          SetValue(key, name, kRegDword, std::string(reinterpret_cast<const char*>(&number), 4));
        }
      }
    }
    Registry().CloseKey(key);
  }
  std::printf("built %ld keys, %ld values\n", made, valuesMade);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "build") == 0) return Build(argv[2], std::atol(argv[3]), std::atol(argv[4]));
  if (argc != 4) {
    std::fprintf(stderr, "usage: registry_bench build <key> <keys> <values> | export|import <key> <file>\n");
    return 2;
  }
  TimedFiles files(Files());
  Services with;
  with.files = &files;
  ScopedServices scope(with);
  Clock::time_point start = Clock::now();
  try {
    if (std::strcmp(argv[1], "export") == 0) {
      quarnel::registry::ExportKeyTree(argv[2], argv[3]);
    } else if (std::strcmp(argv[1], "import") == 0) {
      quarnel::registry::ImportKeyFile(argv[2], argv[3]);
    } else {
      return 2;
    }
  } catch (const quarnel::registry::RegistryError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  double total = Seconds(Clock::now() - start);
  std::printf("%s %.3f s in-process, writing %.3f s in %ld writes\n", argv[1], total, Seconds(files.appending),
              files.appends);
  return 0;
}
