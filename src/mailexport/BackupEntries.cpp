#include "mailexport/BackupEntries.h"

#include "archive/EntryReader.h"
#include "archive/LocalFile.h"
#include "platform/Text.h"

namespace quarnel::mailexport {

BackupEntries::~BackupEntries() {
  if (archive_)
    zip_discard(archive_);
}

bool BackupEntries::Open(const std::string &path, std::string *message) {
  archive_ =
      archive::detail::OpenZip(path, ZIP_RDONLY | ZIP_CHECKCONS, message);
  if (!archive_)
    return false;
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const zip_uint64_t index = static_cast<zip_uint64_t>(i);
    const char *raw = zip_get_name(archive_, index, ZIP_FL_ENC_RAW);
    if (!raw)
      continue;
    // Names are stored in UTF-8 (our own backups) or, by older writers, as ANSI
    // bytes.
    std::string ansi;
    if (!platform::Utf8ToAnsi(raw, &ansi))
      ansi = raw;
    names_.push_back(ansi);
    indexes_.push_back(index);
  }
  return true;
}

bool BackupEntries::Find(const std::string &name, zip_uint64_t *index,
                         std::string *message) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) {
      *index = indexes_[i];
      return true;
    }
  }
  *message = "No entry \"" + name + "\" in the backup";
  return false;
}

bool BackupEntries::StatedSize(const std::string &name,
                               const std::string &password, std::uint64_t *size,
                               std::string *message) {
  zip_uint64_t index;
  zip_stat_t st;
  if (!archive_ || !Find(name, &index, message) ||
      !archive::detail::DescribeEntry(archive_, index, password, &st,
                                      message)) {
    return false;
  }
  *size = st.size;
  return true;
}

bool BackupEntries::Read(
    const std::string &name, const std::string &password,
    const std::function<bool(const char *, std::size_t)> &sink,
    std::string *message) {
  zip_uint64_t index;
  return archive_ && Find(name, &index, message) &&
         archive::detail::ReadEntryChecked(archive_, index, password, sink,
                                           message);
}

} // namespace quarnel::mailexport
