#include "mailexport/BackupEntries.h"

namespace quarnel::mailexport {

BackupEntries::~BackupEntries() {
  zip_.CloseArchive();  // wipes the password
}

bool BackupEntries::Open(const std::string &path, std::string *message) {
  if (!zip_.OpenArchive(path)) {
    *message = zip_.LastError();
    return false;
  }
  names_ = zip_.EntryNames();
  return true;
}

std::optional<archive::ArchiveEntry> BackupEntries::Find(const std::string &name, const std::string &password,
                                                         std::string *message) {
  std::optional<archive::ArchiveEntry> entry;
  for (const std::string &known : names_) {
    if (known == name) {
      entry = zip_.FindEntry(name);
      break;
    }
  }
  if (!entry) {
    *message = "No entry \"" + name + "\" in the backup";
    return std::nullopt;
  }
  if (zip_.ReadPassword() != password) zip_.ReadPassword(password);
  return entry;
}

bool BackupEntries::StatedSize(const std::string &name, const std::string &password, std::uint64_t *size,
                               std::string *message) {
  std::optional<archive::ArchiveEntry> entry = Find(name, password, message);
  if (!entry) return false;
  std::optional<std::uint64_t> stated = entry->StatedSize();
  if (!stated) {
    *message = "The backup does not state the size of \"" + name + "\"";
    return false;
  }
  *size = *stated;
  return true;
}

bool BackupEntries::Read(const std::string &name, const std::string &password, const archive::ContentSink &sink,
                         std::string *message) {
  std::optional<archive::ArchiveEntry> entry = Find(name, password, message);
  if (!entry) return false;
  if (!entry->ReadTo(sink)) {
    *message = zip_.LastError();
    return false;
  }
  return true;
}

}  // namespace quarnel::mailexport
