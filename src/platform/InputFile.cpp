#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "platform/Files.h"
#ifndef _WIN32
#include "platform/portable/PosixFiles.h"
#endif

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
  const std::string local = PosixPath(path);
#endif
  std::FILE* file = std::fopen(local.c_str(), "rb");
  if (!file) return nullptr;
  std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
  return std::make_unique<StdioInputFile>(file);
}

std::string FileSystem::DirectFolderName(const std::string&) { return {}; }

std::FILE* FileSystem::CreateNew(const std::string& path) {
#ifdef _WIN32
  // msvcrt's _open maps _O_EXCL to CREATE_NEW and takes the ANSI name, as CreateFileA does.
  const int fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
  std::FILE* file = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (fd >= 0 && !file) _close(fd);
#else
  const std::string local = PosixPath(path);
  const int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  std::FILE* file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (fd >= 0 && !file) ::close(fd);
#endif
  return file;
}

}  // namespace quarnel::platform
