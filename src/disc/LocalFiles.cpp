#include "disc/LocalFiles.h"

#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/portable/PosixFiles.h"
#endif

namespace quarnel::disc {
namespace {

// Large reads and writes: image files are hundreds of megabytes.
constexpr std::size_t kStreamBuffer = 1024 * 1024;

std::string Native(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  return platform::PosixPath(path);
#endif
}

std::FILE* OpenBuffered(const std::string& path, const char* mode) {
  std::FILE* file = std::fopen(Native(path).c_str(), mode);
  if (file) std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
  return file;
}

}  // namespace

bool StatPath(const std::string& path, LocalEntry* entry) {
#ifdef _WIN32
  struct _stati64 st;
  if (_stati64(path.c_str(), &st) != 0) return false;
  entry->isFolder = (st.st_mode & _S_IFMT) == _S_IFDIR;
#else
  struct stat st;
  if (::stat(Native(path).c_str(), &st) != 0) return false;
  entry->isFolder = S_ISDIR(st.st_mode);
#endif
  entry->name = LastName(path);
  entry->size = entry->isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
  entry->modified = static_cast<std::time_t>(st.st_mtime);
  return true;
}

bool ListLocalFolder(const std::string& folder, std::vector<LocalEntry>* entries) {
  entries->clear();
#ifdef _WIN32
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    LocalEntry entry;
    entry.name = name;
    entry.isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.size = entry.isFolder ? 0 : (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // 100 ns ticks since 1601 to seconds since 1970.
    std::uint64_t ticks =
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    entry.modified = static_cast<std::time_t>(ticks / 10000000ULL - 11644473600ULL);
    entries->push_back(entry);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return true;
#else
  std::string dir = Native(folder);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::stat((dir + "/" + name).c_str(), &st) != 0) continue;
    LocalEntry entry;
    entry.name = name;
    entry.isFolder = S_ISDIR(st.st_mode);
    entry.size = entry.isFolder ? 0 : static_cast<std::uint64_t>(st.st_size);
    entry.modified = st.st_mtime;
    entries->push_back(entry);
  }
  ::closedir(d);
  return true;
#endif
}

std::uint64_t FreeBytes(const std::string& folder) {
#ifdef _WIN32
  ULARGE_INTEGER available = {};
  std::string root = folder.empty() ? "." : folder;
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr)) return 0;
  return available.QuadPart;
#else
  struct statvfs st;
  if (::statvfs(Native(folder.empty() ? "." : folder).c_str(), &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
#endif
}

bool RemoveLocalFile(const std::string& path) { return std::remove(Native(path).c_str()) == 0; }

bool ReplaceLocalFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  // A read-only file in the way is replaced too.
  SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(Native(from).c_str(), Native(to).c_str()) == 0;
#endif
}

std::unique_ptr<LocalFile> LocalFile::OpenRead(const std::string& path) {
  LocalEntry entry;
  if (!StatPath(path, &entry) || entry.isFolder) return nullptr;
  std::FILE* file = OpenBuffered(path, "rb");
  return file ? std::unique_ptr<LocalFile>(new LocalFile(file)) : nullptr;
}

std::unique_ptr<LocalFile> LocalFile::Create(const std::string& path) {
  std::FILE* file = OpenBuffered(path, "wb");
  return file ? std::unique_ptr<LocalFile>(new LocalFile(file)) : nullptr;
}

LocalFile::~LocalFile() {
  if (file_) std::fclose(file_);
}

std::size_t LocalFile::Read(void* buffer, std::size_t size) { return std::fread(buffer, 1, size, file_); }

bool LocalFile::Write(const void* buffer, std::size_t size) {
  if (std::fwrite(buffer, 1, size, file_) != size) return false;
  written_ += size;
  WriteBehind();
  return true;
}

// A long file being written is handed to the disk as it grows, so that the final commit
// has little left to do and written data does not pile up in memory.
void LocalFile::WriteBehind() {
#ifdef __linux__
  constexpr std::uint64_t kStep = 32 * 1024 * 1024;
  if (written_ - handedOver_ < kStep || std::fflush(file_) != 0) return;
  int fd = fileno(file_);
  // Wait for the step before the last to reach the disk, and start this one on its way.
  if (handedOver_ >= kStep) {
    sync_file_range(fd, static_cast<off64_t>(handedOver_ - kStep), static_cast<off64_t>(kStep),
                    SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  }
  sync_file_range(fd, static_cast<off64_t>(handedOver_), static_cast<off64_t>(written_ - handedOver_),
                  SYNC_FILE_RANGE_WRITE);
  handedOver_ = written_;
#endif
}

bool LocalFile::Seek(std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(file_, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool LocalFile::Failed() const { return std::ferror(file_) != 0; }

bool LocalFile::Commit() {
  if (std::fflush(file_) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file_)) == 0;
#else
  return ::fsync(fileno(file_)) == 0;
#endif
}

bool LocalFile::Close() {
  bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

platform::LocalTime LocalTimeOf(std::time_t time) {
  std::tm parts = {};
#ifdef _WIN32
  if (const std::tm* local = std::localtime(&time)) parts = *local;
#else
  localtime_r(&time, &parts);
#endif
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

std::string ParentFolder(const std::string& path) {
  std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return "";
  if (cut == 0 || (cut == 2 && path[1] == ':')) return path.substr(0, cut + 1);
  return path.substr(0, cut);
}

std::string LastName(const std::string& path) {
  std::size_t end = path.find_last_not_of("\\/");
  if (end == std::string::npos) return "";
  std::size_t cut = path.find_last_of("\\/", end);
  return path.substr(cut == std::string::npos ? 0 : cut + 1, end - (cut == std::string::npos ? 0 : cut + 1) + 1);
}

}  // namespace quarnel::disc
