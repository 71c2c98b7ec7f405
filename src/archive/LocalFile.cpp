#include "archive/LocalFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/Services.h"

namespace quarnel::archive::detail {
namespace {

// Fewer, larger reads and writes than stdio's default; the files are tens of megabytes.
constexpr std::size_t kStreamBuffer = 256 * 1024;

std::FILE* OpenBuffered(const std::string& path, const char* mode) {
  std::FILE* file = std::fopen(LocalPath(path).c_str(), mode);
  if (file) std::setvbuf(file, nullptr, _IOFBF, kStreamBuffer);
  return file;
}

}  // namespace

std::string LocalPath(const std::string& path) {
#ifdef _WIN32
  return path;  // msvcrt's fopen takes the ANSI name, as CreateFileA does
#else
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
#endif
}

std::FILE* OpenForWriting(const std::string& path) { return OpenBuffered(path, "wb"); }

bool RegularFileFacts(const std::string& path, FileFacts* facts) {
#ifdef _WIN32
  struct _stati64 st;
  if (_stati64(path.c_str(), &st) != 0) return false;
  if ((st.st_mode & _S_IFMT) != _S_IFREG) return false;
#else
  struct stat st;
  if (::stat(LocalPath(path).c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) return false;
#endif
  facts->size = static_cast<std::uint64_t>(st.st_size);
  facts->modified = static_cast<std::time_t>(st.st_mtime);
  return true;
}

bool MoveOver(const std::string& from, const std::string& to) {
  platform::FileSystem& files = platform::Files();
  if (files.MoveReplace(from, to)) return true;
  if (!files.IsReadOnly(to).value_or(false) || !files.SetReadOnly(to, false)) return false;
  if (files.MoveReplace(from, to)) return true;
  files.SetReadOnly(to, true);
  return false;
}

zip_t* OpenZip(const std::string& path, int flags, std::string* message) {
  zip_error_t error;
  zip_error_init(&error);
#ifdef _WIN32
  // libzip's own zip_open takes UTF-8; our names are in the ANSI code page.
  zip_source_t* source = zip_source_win32a_create(path.c_str(), 0, -1, &error);
#else
  zip_source_t* source = zip_source_file_create(LocalPath(path).c_str(), 0, -1, &error);
#endif
  zip_t* archive = nullptr;
  if (source) {
    archive = zip_open_from_source(source, flags, &error);
    if (!archive) zip_source_free(source);
  }
  if (!archive) *message = zip_error_strerror(&error);
  zip_error_fini(&error);
  return archive;
}

std::string FolderOf(const std::string& path) {
  std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return ".";
  if (cut == 0 || (cut == 2 && path[1] == ':')) return path.substr(0, cut + 1);  // a root
  return path.substr(0, cut);
}

std::string BaseName(const std::string& path) {
  std::size_t cut = path.find_last_of("\\/:");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/') return folder + name;
  return folder + "\\" + name;
}

}  // namespace quarnel::archive::detail
