#include "platform/win32/Win32Files.h"

#include <windows.h>

#include <string>

namespace quarnel::platform {
namespace {

// Owns a file handle for the span of one operation.
class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (ok()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  bool Close() {
    HANDLE h = h_;
    h_ = INVALID_HANDLE_VALUE;
    return CloseHandle(h) != FALSE;
  }

 private:
  HANDLE h_;
};

bool WriteFully(HANDLE h, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
    DWORD written = 0;
    if (!WriteFile(h, p, chunk, &written, nullptr) || written == 0) return false;
    p += written;
    left -= written;
  }
  return true;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

class Win32HeldFile : public HeldFile {
 public:
  explicit Win32HeldFile(HANDLE h) : h_(h) {}
  ~Win32HeldFile() override { CloseHandle(h_); }
  Win32HeldFile(const Win32HeldFile&) = delete;
  Win32HeldFile& operator=(const Win32HeldFile&) = delete;

 private:
  HANDLE h_;
};

}  // namespace

bool Win32Files::FileExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Files::FolderExists(const std::string& path) {
  DWORD a = Attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> Win32Files::ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::string pattern = folder;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  pattern += "*";
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  return names;
}

bool Win32Files::CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool Win32Files::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool Win32Files::MoveReplace(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32Files::Copy(const std::string& from, const std::string& to) {
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool Win32Files::SetNormalAttributes(const std::string& path) {
  return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

std::optional<std::uint64_t> Win32Files::FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool Win32Files::AppendBytes(const std::string& path, std::string_view bytes) {
  FileHandle f(CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  bool ok = WriteFully(f.get(), bytes);
  return f.Close() && ok;
}

bool Win32Files::ReadAll(const std::string& path, std::string* out) {
  FileHandle f(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  std::string data;
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(f.get(), buffer, sizeof buffer, &got, nullptr)) return false;
    if (got == 0) break;
    data.append(buffer, got);
  }
  *out = std::move(data);
  return true;
}

bool Win32Files::WriteAll(const std::string& path, std::string_view bytes) {
  FileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
  if (!f.ok()) return false;
  bool ok = WriteFully(f.get(), bytes);
  return f.Close() && ok;
}

bool Win32Files::FlushToDisk(const std::string& path) {
  FileHandle f(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f.ok()) return false;
  bool flushed = FlushFileBuffers(f.get()) != FALSE;
  return f.Close() && flushed;
}

std::optional<std::uint64_t> Win32Files::FreeSpace(const std::string& folder) {
  std::string directory = folder;
  if (!directory.empty() && directory.back() != '\\') directory += '\\';  // as a share's root needs
  ULARGE_INTEGER available, total, free;
  if (!GetDiskFreeSpaceExA(directory.c_str(), &available, &total, &free)) return std::nullopt;
  return static_cast<std::uint64_t>(available.QuadPart);
}

std::optional<bool> Win32Files::IsReadOnly(const std::string& path) {
  DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
  return (a & FILE_ATTRIBUTE_READONLY) != 0;
}

bool Win32Files::SetReadOnly(const std::string& path, bool readOnly) {
  DWORD a = Attributes(path);
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  a &= ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_READONLY);  // NORMAL is valid only alone
  if (readOnly) a |= FILE_ATTRIBUTE_READONLY;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesA(path.c_str(), a) != FALSE;
}

// Sharing nothing, the open is refused while any handle to the file is open, whatever that
// handle shares.
bool Win32Files::InUse(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return false;
  }
  const DWORD error = GetLastError();
  return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

std::unique_ptr<HeldFile> Win32Files::Hold(const std::string& path, bool exclusive) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, exclusive ? 0 : FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32HeldFile>(h);
}

std::string Win32Files::DirectFolderName(const std::string& folder) {
  // Wine's kernel32 alone has this export; it gives the Unix name in UTF-8 on the process heap.
  using UnixName = char*(CDECL*)(const WCHAR*);
  // Through void (*)(): a cast between unrelated function types is what the compiler warns of.
  static const auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  if (!unixName || folder.empty()) return {};
  auto wide = [](UINT codePage, const std::string& text) {
    std::wstring out(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(codePage, codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0, text.c_str(), -1,
                                      out.data(), static_cast<int>(out.size()));
    out.resize(n > 0 ? n - 1 : 0);
    return n > 0 ? out : std::wstring();
  };
  const std::wstring dos = wide(CP_ACP, folder);
  char* found = dos.empty() ? nullptr : unixName(dos.c_str());
  if (!found) return {};
  std::string unixPath(found);
  HeapFree(GetProcessHeap(), 0, found);
  if (unixPath.empty() || unixPath[0] != '/' || unixPath.find('\\') != std::string::npos) return {};
  std::wstring direct = L"\\\\?\\unix" + wide(CP_UTF8, unixPath);
  for (wchar_t& c : direct) {
    if (c == L'/') c = L'\\';
  }
  // Back to ANSI text, which must give the same name again: a Unix name with a character the
  // code page lacks has no such form.
  BOOL lossy = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, direct.c_str(), -1, nullptr, 0, nullptr, &lossy);
  if (n <= 1 || lossy) return {};
  std::string ansi(n, '\0');
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, direct.c_str(), -1, ansi.data(), n, nullptr, &lossy);
  ansi.resize(n - 1);
  return lossy ? std::string() : ansi;
}

}  // namespace quarnel::platform
