#include "archive/AesVersions.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace quarnel::archive::detail {
namespace {

constexpr std::uint64_t kEndRecord = 22;
constexpr std::uint64_t kLongestComment = 0xFFFF;
constexpr std::uint64_t kLargestDirectory = 64 * 1024 * 1024;  // a million entries and more
constexpr std::uint16_t kAesField = 0x9901;

struct SourceCloser {
  void operator()(zip_source_t* source) const {
    zip_source_close(source);
    zip_source_free(source);
  }
};

std::uint64_t Little(const std::string& bytes, std::size_t at, int size) {
  std::uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

bool ReadAt(zip_source_t* source, std::uint64_t offset, std::uint64_t size, std::string* bytes) {
  bytes->assign(static_cast<std::size_t>(size), '\0');
  return zip_source_seek(source, static_cast<zip_int64_t>(offset), SEEK_SET) == 0 &&
         zip_source_read(source, bytes->data(), size) == static_cast<zip_int64_t>(size);
}

// Where the central directory lies and how many records it holds, from the end records.
bool FindDirectory(zip_source_t* source, std::uint64_t* offset, std::uint64_t* size, std::uint64_t* count) {
  if (zip_source_seek(source, 0, SEEK_END) != 0) return false;
  const zip_int64_t fileSize = zip_source_tell(source);
  if (fileSize < static_cast<zip_int64_t>(kEndRecord)) return false;
  const std::uint64_t tailSize = std::min<std::uint64_t>(fileSize, kEndRecord + kLongestComment);
  std::string tail;
  if (!ReadAt(source, fileSize - tailSize, tailSize, &tail)) return false;
  const std::size_t end = tail.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos || end + kEndRecord > tail.size()) return false;
  *count = Little(tail, end + 10, 2);
  *size = Little(tail, end + 12, 4);
  *offset = Little(tail, end + 16, 4);
  if (*count != 0xFFFF && *size != 0xFFFFFFFF && *offset != 0xFFFFFFFF) return true;
  // ZIP64: the locator just before the end record names the larger end record.
  const std::uint64_t locatorAt = fileSize - tailSize + end - 20;
  std::string locator, record;
  if (end < 20 || !ReadAt(source, locatorAt, 20, &locator) || locator.compare(0, 4, "PK\x06\x07", 4) != 0 ||
      !ReadAt(source, Little(locator, 8, 8), 56, &record) || record.compare(0, 4, "PK\x06\x06", 4) != 0) {
    return false;
  }
  *count = Little(record, 32, 8);
  *size = Little(record, 40, 8);
  *offset = Little(record, 48, 8);
  return true;
}

}  // namespace

std::vector<bool> Ae1Entries(const std::string& path) {
  zip_error_t error;
  zip_error_init(&error);
#ifdef _WIN32
  std::unique_ptr<zip_source_t, SourceCloser> source(zip_source_win32a_create(path.c_str(), 0, -1, &error));
#else
  std::unique_ptr<zip_source_t, SourceCloser> source(zip_source_file_create(LocalPath(path).c_str(), 0, -1, &error));
#endif
  zip_error_fini(&error);
  std::uint64_t offset = 0, size = 0, count = 0;
  std::string directory;
  if (!source || zip_source_open(source.get()) != 0 || !FindDirectory(source.get(), &offset, &size, &count) ||
      size > kLargestDirectory || !ReadAt(source.get(), offset, size, &directory)) {
    return {};
  }
  std::vector<bool> ae1;
  for (std::size_t at = 0; ae1.size() < count;) {
    if (at + 46 > directory.size() || directory.compare(at, 4, "PK\x01\x02", 4) != 0) return {};
    const std::size_t extraAt = at + 46 + Little(directory, at + 28, 2);
    const std::size_t extraEnd = extraAt + Little(directory, at + 30, 2);
    if (extraEnd > directory.size()) return {};
    bool version1 = false;
    for (std::size_t field = extraAt; field + 4 <= extraEnd; field += 4 + Little(directory, field + 2, 2)) {
      if (Little(directory, field, 2) == kAesField && field + 6 <= extraEnd) {
        version1 = Little(directory, field + 4, 2) == 1;
      }
    }
    ae1.push_back(version1);
    at = extraEnd + Little(directory, at + 32, 2);
  }
  return ae1;
}

}  // namespace quarnel::archive::detail
