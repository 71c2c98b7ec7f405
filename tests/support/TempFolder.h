#pragma once
#include <string>

namespace quarnel::testing {

// A new empty folder under the system's temporary folder, removed with its contents at the
// end of the scope. Paths are Windows text in the Windows build, POSIX paths natively.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const;  // path of a file inside

 private:
  std::string path_;
};

// Writes bytes to a file (created or truncated); false on failure.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);

}  // namespace quarnel::testing
