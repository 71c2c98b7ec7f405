#pragma once
// What the mail-folder reader reads from: bytes at any offset of a file, of
// data held in memory, or of a backup entry taken out to either. Nothing here
// knows the file format.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace quarnel::mailstore {

class RandomInput {
 public:
  virtual ~RandomInput() = default;
  virtual std::uint64_t Size() const = 0;
  // Exactly size bytes from offset; false when they are not all there or cannot
  // be read.
  virtual bool ReadAt(std::uint64_t offset, void *data, std::size_t size) = 0;
};

class MemoryInput : public RandomInput {
 public:
  explicit MemoryInput(std::string bytes) : bytes_(std::move(bytes)) {}
  MemoryInput(const void *data, std::size_t size) : bytes_(static_cast<const char *>(data), size) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, void *data, std::size_t size) override;

 private:
  std::string bytes_;
};

// An open C library file, read through one window of its bytes: the reader's
// objects lie close together, so most reads are served from memory. The file is
// closed (and, for a temporary file opened to be deleted on closing, removed)
// with this object.
class FileInput : public RandomInput {
 public:
  static constexpr std::size_t kWindow = 256 * 1024;
  // Null when the file cannot be opened or its size not told.
  static std::unique_ptr<FileInput> Open(const std::string &localPath);
  // Takes the file over; null (and the file closed) when its size cannot be
  // told.
  static std::unique_ptr<FileInput> Adopt(std::FILE *file);
  ~FileInput() override;
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void *data, std::size_t size) override;

 private:
  FileInput(std::FILE *file, std::uint64_t size) : file_(file), size_(size) {}
  bool Fill(std::uint64_t start);

  std::FILE *file_;
  std::uint64_t size_;
  std::vector<unsigned char> window_;
  std::uint64_t windowStart_ = 0;
  std::size_t windowLength_ = 0;
};

}  // namespace quarnel::mailstore
