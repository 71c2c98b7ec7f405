#include "backup/Leftovers.h"

#include <cctype>
#include <vector>

#include "app/Settings.h"
#include "archive/ZipArchive.h"
#include "backup/InfoFile.h"
#include "backup/StagedRestore.h"
#include "mailclient/Locations.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::backup {

using platform::Files;

namespace {

// The registry items' export files and the imports of a restore, and the data folder probe.
constexpr const char* kDataFolderPrefixes[] = {"OBA", "OBR", "OBS", "OBI", "qrn", archive::kTemporaryPrefix};

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Length of "<prefix><hex>.tmp" at the start of the name; 0 when it does not start so.
std::size_t TemporaryNameLength(const std::string& name, const std::string& prefix) {
  const std::string start = prefix.substr(0, 3);
  if (name.size() < start.size() || !platform::AnsiEqualNoCase(name.substr(0, start.size()), start)) return 0;
  std::size_t at = start.size();
  while (at < name.size() && at - start.size() < 4 && IsHex(name[at])) ++at;
  if (at == start.size() || name.size() < at + 4 || !platform::AnsiEqualNoCase(name.substr(at, 4), ".tmp")) return 0;
  return at + 4;
}

bool IsArchiveLeftover(const std::string& name) {
  return IsTemporaryName(name, archive::kTemporaryPrefix) || IsArchivePartName(name);
}

bool IsDataFolderLeftover(const std::string& name) {
  if (platform::AnsiEqualNoCase(name, kInfoFileName) || IsArchivePartName(name)) return true;
  for (const char* prefix : kDataFolderPrefixes) {
    if (IsTemporaryName(name, prefix)) return true;
  }
  return false;
}

template <typename Leftover>
void RemoveLeftovers(const std::string& folder, Leftover leftover) {
  if (folder.empty()) return;
  for (const std::string& name : Files().ListFiles(folder)) {
    const std::string path = app::JoinPath(folder, name);
    if (leftover(name) && !Files().InUse(path)) Files().RemoveFile(path);
  }
}

std::string FolderOf(const std::string& path) {
  const std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// A folder the registry names; "" when it names none or cannot be read.
template <typename Find>
std::string Found(Find find) {
  try {
    return find();
  } catch (...) {
    return "";
  }
}

// Where the identity's items keep their files.
std::vector<std::string> IdentityFolders(const std::optional<std::string>& identity) {
  return {
      Found([&] {
        std::optional<std::string> version = identity ? mailclient::VersionKey(*identity) : std::nullopt;
        return version ? mailclient::StoreFolder(*version).value_or("") : std::string();
      }),
      Found([] { return mailclient::FindStationeryFolder().value_or(""); }),
      Found([] { return FolderOf(mailclient::AddressBookFile().value_or("")); }),
  };
}

void RemoveAllLeftovers(const std::string& backupFile, const std::optional<std::string>& identity) {
  RemoveLeftovers(app::DataFolder(), IsDataFolderLeftover);
  if (!backupFile.empty()) RemoveLeftovers(FolderOf(backupFile), IsArchiveLeftover);
  for (const std::string& folder : IdentityFolders(identity)) {
    if (folder.empty() || !Files().FolderExists(folder)) continue;
    RecoverInterruptedRestore(folder);
    RemoveLeftovers(folder, IsArchiveLeftover);
  }
}

}  // namespace

bool IsTemporaryName(const std::string& name, const std::string& prefix) {
  const std::size_t length = TemporaryNameLength(name, prefix);
  return length != 0 && length == name.size();
}

bool IsArchivePartName(const std::string& name) {
  const std::size_t length = TemporaryNameLength(name, archive::kTemporaryPrefix);
  if (length == 0 || name.size() < length + 2 || name.size() > length + 9 || name[length] != '.') return false;
  for (std::size_t at = length + 1; at < name.size(); ++at) {
    if (!std::isalnum(static_cast<unsigned char>(name[at]))) return false;
  }
  return true;
}

JobMark::JobMark(const std::string& backupFile, const std::optional<std::string>& identity)
    : mark_([&] { RemoveAllLeftovers(backupFile, identity); }) {}

}  // namespace quarnel::backup
