#include "platform/portable/PosixFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>

namespace quarnel::platform {
namespace {

bool WriteFully(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteFile(const std::string& path, std::string_view bytes, int flags) {
  int fd = ::open(PosixPath(path).c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = WriteFully(fd, bytes.data(), bytes.size());
  return ::close(fd) == 0 && ok;
}

class PosixHeldFile : public HeldFile {
 public:
  explicit PosixHeldFile(int fd) : fd_(fd) {}
  ~PosixHeldFile() override { ::close(fd_); }
  PosixHeldFile(const PosixHeldFile&) = delete;
  PosixHeldFile& operator=(const PosixHeldFile&) = delete;

 private:
  int fd_;
};

bool AllDigits(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// Whether the process's descriptors folder (/proc/<id>/fd) holds one open on that file.
bool HoldsOpen(const std::string& descriptors, const struct stat& file) {
  DIR* d = ::opendir(descriptors.c_str());
  if (!d) return false;  // another user's process, or gone meanwhile
  bool found = false;
  while (dirent* e = ::readdir(d)) {
    struct stat st;
    if (AllDigits(e->d_name) && ::stat((descriptors + "/" + e->d_name).c_str(), &st) == 0 &&
        st.st_dev == file.st_dev && st.st_ino == file.st_ino) {
      found = true;
      break;
    }
  }
  ::closedir(d);
  return found;
}

}  // namespace

std::string PosixPath(const std::string& windowsPath) {
  std::string out = windowsPath;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

bool PosixFiles::FileExists(const std::string& path) {
  struct stat st;
  return ::stat(PosixPath(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFiles::FolderExists(const std::string& path) {
  struct stat st;
  return ::stat(PosixPath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> PosixFiles::ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::string dir = PosixPath(folder);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
  }
  ::closedir(d);
  return names;
}

bool PosixFiles::CreateFolder(const std::string& path) { return ::mkdir(PosixPath(path).c_str(), 0755) == 0; }

bool PosixFiles::RemoveFile(const std::string& path) {
  return FileExists(path) && ::unlink(PosixPath(path).c_str()) == 0;
}

bool PosixFiles::MoveReplace(const std::string& from, const std::string& to) {
  return ::rename(PosixPath(from).c_str(), PosixPath(to).c_str()) == 0;
}

bool PosixFiles::Copy(const std::string& from, const std::string& to) {
  int in = ::open(PosixPath(from).c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  int out = ::open(PosixPath(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0 || !WriteFully(out, buffer, static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  ::close(in);
  return ::close(out) == 0 && ok;
}

bool PosixFiles::SetNormalAttributes(const std::string& path) { return ::chmod(PosixPath(path).c_str(), 0644) == 0; }

std::optional<std::uint64_t> PosixFiles::FileSize(const std::string& path) {
  struct stat st;
  if (::stat(PosixPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool PosixFiles::AppendBytes(const std::string& path, std::string_view bytes) {
  return WriteFile(path, bytes, O_APPEND);
}

bool PosixFiles::ReadAll(const std::string& path, std::string* out) {
  int fd = ::open(PosixPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  std::string data;
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      ::close(fd);
      return false;
    }
    data.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  *out = std::move(data);
  return true;
}

bool PosixFiles::WriteAll(const std::string& path, std::string_view bytes) { return WriteFile(path, bytes, O_TRUNC); }

bool PosixFiles::FlushToDisk(const std::string& path) {
  int fd = ::open(PosixPath(path).c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

std::optional<std::uint64_t> PosixFiles::FreeSpace(const std::string& folder) {
  struct statvfs vfs;
  if (!FolderExists(folder) || ::statvfs(PosixPath(folder).c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

// Windows' read-only attribute is the owner's write permission here.
std::optional<bool> PosixFiles::IsReadOnly(const std::string& path) {
  struct stat st;
  if (::stat(PosixPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return (st.st_mode & S_IWUSR) == 0;
}

bool PosixFiles::SetReadOnly(const std::string& path, bool readOnly) {
  struct stat st;
  if (::stat(PosixPath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const mode_t others = st.st_mode & 07777 & ~static_cast<mode_t>(S_IWUSR);
  return ::chmod(PosixPath(path).c_str(), readOnly ? others : (others | S_IWUSR)) == 0;
}

// POSIX lets anyone delete an open file; what Windows refuses then is told here from the
// open files of every process (/proc), this one's included.
bool PosixFiles::InUse(const std::string& path) {
  struct stat file;
  if (::stat(PosixPath(path).c_str(), &file) != 0) return false;
  DIR* processes = ::opendir("/proc");
  if (!processes) return true;  // cannot tell
  bool used = false;
  while (!used) {
    dirent* e = ::readdir(processes);
    if (!e) break;
    used = AllDigits(e->d_name) && HoldsOpen(std::string("/proc/") + e->d_name + "/fd", file);
  }
  ::closedir(processes);
  return used;
}

// Advisory locks stand for Windows' sharing: holds are only ever taken through here.
std::unique_ptr<HeldFile> PosixFiles::Hold(const std::string& path, bool exclusive) {
  int fd = ::open(PosixPath(path).c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  if (::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<PosixHeldFile>(fd);
}

}  // namespace quarnel::platform
