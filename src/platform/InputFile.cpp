#include <cstdio>

#include "platform/Files.h"

namespace quarnel::platform {
namespace {

// Fewer, larger reads than stdio's default; the files are tens of megabytes.
constexpr std::size_t kStreamBuffer = 256 * 1024;

class StdioInputFile : public InputFile {
 public:
  explicit StdioInputFile(std::FILE* file) : file_(file) {}
  ~StdioInputFile() override { std::fclose(file_); }

  std::int64_t Read(void* buffer, std::size_t size) override {
    std::size_t n = std::fread(buffer, 1, size, file_);
    if (n < size && std::ferror(file_)) return -1;
    return static_cast<std::int64_t>(n);
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<InputFile> FileSystem::OpenInput(const std::string& path) {
#ifdef _WIN32
  const std::string& local = path;  // msvcrt's fopen takes the ANSI name, as CreateFileA does
#else
  std::string local = path;
  for (char& c : local) {
    if (c == '\\') c = '/';
  }
#endif
  std::FILE* file = std::fopen(local.c_str(), "rb");
  if (!file) return nullptr;
  std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
  return std::make_unique<StdioInputFile>(file);
}

}  // namespace quarnel::platform
