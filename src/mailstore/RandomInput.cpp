#include "mailstore/RandomInput.h"

#include <algorithm>
#include <cstring>

namespace quarnel::mailstore {
namespace {

// Offsets past 2 GiB need the 64-bit calls of the C library in hand.
bool SeekTo(std::FILE *file, std::uint64_t offset) {
#ifdef _WIN32
  return fseeko64(file, static_cast<off64_t>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool SizeOf(std::FILE *file, std::uint64_t *size) {
#ifdef _WIN32
  if (fseeko64(file, 0, SEEK_END) != 0) return false;
  off64_t end = ftello64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return false;
  off_t end = ftello(file);
#endif
  if (end < 0) return false;
  *size = static_cast<std::uint64_t>(end);
  return true;
}

}  // namespace

bool MemoryInput::ReadAt(std::uint64_t offset, void *data, std::size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
  std::memcpy(data, bytes_.data() + offset, size);
  return true;
}

std::unique_ptr<FileInput> FileInput::Open(const std::string &localPath) {
  std::FILE *file = std::fopen(localPath.c_str(), "rb");
  return file ? Adopt(file) : nullptr;
}

std::unique_ptr<FileInput> FileInput::Adopt(std::FILE *file) {
  std::uint64_t size = 0;
  if (!SizeOf(file, &size)) {
    std::fclose(file);
    return nullptr;
  }
  return std::unique_ptr<FileInput>(new FileInput(file, size));
}

FileInput::~FileInput() { std::fclose(file_); }

bool FileInput::Fill(std::uint64_t start) {
  if (window_.empty()) window_.resize(kWindow);
  windowLength_ = 0;
  if (!SeekTo(file_, start)) return false;
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - start));
  windowLength_ = std::fread(window_.data(), 1, want, file_);
  windowStart_ = start;
  return windowLength_ == want;
}

bool FileInput::ReadAt(std::uint64_t offset, void *data, std::size_t size) {
  if (offset > size_ || size > size_ - offset) return false;
  auto *out = static_cast<unsigned char *>(data);
  while (size > 0) {
    if (offset < windowStart_ || offset >= windowStart_ + windowLength_) {
      if (!Fill(offset)) return false;
    }
    const std::size_t at = static_cast<std::size_t>(offset - windowStart_);
    const std::size_t n = std::min(size, windowLength_ - at);
    std::memcpy(out, window_.data() + at, n);
    out += n;
    offset += n;
    size -= n;
  }
  return true;
}

}  // namespace quarnel::mailstore
