#include "archive/WrittenArchive.h"

#include <zip.h>
#include <zlib.h>

#include "archive/EntryReader.h"
#include "archive/LocalFile.h"

namespace quarnel::archive::detail {
namespace {

bool EntriesReadBack(zip_t* archive, const std::vector<WrittenEntry>& entries, const std::string& password,
                     std::string* message) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count != static_cast<zip_int64_t>(entries.size())) {
    *message = "the archive holds " + std::to_string(count) + " entries instead of " + std::to_string(entries.size());
    return false;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const WrittenEntry& entry = entries[i];
    const char* stored = zip_get_name(archive, i, ZIP_FL_ENC_RAW);
    if (!stored || entry.utf8Name != stored) {
      *message = "entry " + std::to_string(i + 1) + " is not named \"" + entry.name + "\"";
      return false;
    }
    uLong crc = crc32(0L, Z_NULL, 0);
    std::uint64_t size = 0;
    std::string reason;
    auto sum = [&](const char* data, std::size_t n) {
      crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
      size += n;
      return true;
    };
    if (!ReadEntryChecked(archive, i, password, sum, &reason)) {
      *message = "\"" + entry.name + "\" does not read back: " + reason;
      return false;
    }
    if (crc != entry.crc || size != entry.size) {
      *message = "\"" + entry.name + "\" reads back other than its file was read";
      return false;
    }
  }
  return true;
}

}  // namespace

bool ReadsBackAsWritten(const std::string& path, const std::vector<WrittenEntry>& entries, const std::string& password,
                        std::string* message) {
  std::string reason;
  zip_t* archive = OpenZip(path, ZIP_RDONLY | ZIP_CHECKCONS, &reason);
  if (!archive) {
    *message = "the archive cannot be opened again: " + reason;
    return false;
  }
  bool good = EntriesReadBack(archive, entries, password, message);
  zip_discard(archive);
  return good;
}

}  // namespace quarnel::archive::detail
