#pragma once
#include "platform/Files.h"

namespace quarnel::platform {

class Win32Files : public FileSystem {
 public:
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  std::vector<std::string> ListFiles(const std::string& folder) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool MoveReplace(const std::string& from, const std::string& to) override;
  bool Copy(const std::string& from, const std::string& to) override;
  bool SetNormalAttributes(const std::string& path) override;
  std::optional<std::uint64_t> FileSize(const std::string& path) override;
  bool AppendBytes(const std::string& path, std::string_view bytes) override;
  bool ReadAll(const std::string& path, std::string* out) override;
  bool WriteAll(const std::string& path, std::string_view bytes) override;
  bool FlushToDisk(const std::string& path) override;
  std::optional<std::uint64_t> FreeSpace(const std::string& folder) override;
  std::optional<bool> IsReadOnly(const std::string& path) override;
  bool SetReadOnly(const std::string& path, bool readOnly) override;
  bool InUse(const std::string& path) override;
  std::unique_ptr<HeldFile> Hold(const std::string& path, bool exclusive) override;
  std::string DirectFolderName(const std::string& folder) override;
};

}  // namespace quarnel::platform
