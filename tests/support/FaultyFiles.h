#pragma once
// The build's own files seam with failures and damage injected where a test asks, so that a
// test can see what a failed disk operation leaves behind, installed for a scope:
//   testing::FaultyFiles files;
//   files.Fail(testing::FileCall::MoveReplace, ".soe");  // moves from or onto "*.soe*" fail
//   platform::ScopedServices scope({.files = &files});
// The archive component flushes its finished temporary file, reads it back and moves it
// over the target, all through this seam. Every call is recorded in calls (kind and path),
// so a test can also check that a path was never touched at all.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace quarnel::testing {

enum class FileCall {
  RemoveFile,
  MoveReplace,
  AppendBytes,
  FlushToDisk,
  FreeSpace,
  ReadInput,  // one Read of a file opened by OpenInput
  Other,      // any other call: recorded, never failed
};

class FaultyFiles : public platform::FileSystem {
 public:
  struct Call {
    FileCall kind;
    std::string path;
    std::string to;  // MoveReplace and Copy only
  };

  // Over the build's own files, whatever seam is in force when it is made.
  FaultyFiles();

  // Calls of that kind on a path containing pathPart (any path when empty; for a move or a
  // copy, either path) fail without doing anything, once `passing` of them went through.
  // Failed reads set errno to EIO.
  void Fail(FileCall kind, std::string pathPart = "", int passing = 0);
  // After each successful flush of a path containing pathPart, rewrites the file on disk
  // with damage(bytes) applied. By default its last quarter is cut off: an archive then
  // lacks its directory, which any reading notices.
  void DamageAfterFlush(std::function<void(std::string& bytes)> damage = CutOffTheEnd, std::string pathPart = "");
  static void CutOffTheEnd(std::string& bytes);

  // Moves onto a read-only file fail, as on Windows (POSIX and Wine replace such a file).
  bool refuseReadOnlyTargets = false;
  // Reported for every folder instead of the volume's real free space.
  std::optional<std::uint64_t> freeSpace;

  std::vector<Call> calls;
  // The paths (for a move or a copy, the source) of the calls of that kind, in order.
  std::vector<std::string> PathsOf(FileCall kind) const;

  bool FileExists(const std::string& p) override { return inner_->FileExists(Seen(p)); }
  bool FolderExists(const std::string& p) override { return inner_->FolderExists(Seen(p)); }
  std::vector<std::string> ListFiles(const std::string& p) override { return inner_->ListFiles(Seen(p)); }
  bool CreateFolder(const std::string& p) override { return inner_->CreateFolder(Seen(p)); }
  bool RemoveFile(const std::string& p) override { return !Fails(FileCall::RemoveFile, p) && inner_->RemoveFile(p); }
  bool MoveReplace(const std::string& from, const std::string& to) override;
  bool Copy(const std::string& from, const std::string& to) override { return inner_->Copy(Seen(from, to), to); }
  bool SetNormalAttributes(const std::string& p) override { return inner_->SetNormalAttributes(Seen(p)); }
  std::optional<std::uint64_t> FileSize(const std::string& p) override { return inner_->FileSize(Seen(p)); }
  bool AppendBytes(const std::string& p, std::string_view bytes) override {
    return !Fails(FileCall::AppendBytes, p) && inner_->AppendBytes(p, bytes);
  }
  bool ReadAll(const std::string& p, std::string* out) override { return inner_->ReadAll(Seen(p), out); }
  bool WriteAll(const std::string& p, std::string_view bytes) override { return inner_->WriteAll(Seen(p), bytes); }
  bool FlushToDisk(const std::string& path) override;
  std::optional<std::uint64_t> FreeSpace(const std::string& p) override {
    if (Fails(FileCall::FreeSpace, p)) return std::nullopt;
    return freeSpace ? freeSpace : inner_->FreeSpace(p);
  }
  std::optional<bool> IsReadOnly(const std::string& p) override { return inner_->IsReadOnly(Seen(p)); }
  bool SetReadOnly(const std::string& p, bool readOnly) override { return inner_->SetReadOnly(Seen(p), readOnly); }
  std::unique_ptr<platform::InputFile> OpenInput(const std::string& path) override;
  bool InUse(const std::string& path) override { return inner_->InUse(path); }
  std::unique_ptr<platform::HeldFile> Hold(const std::string& path, bool exclusive) override {
    return inner_->Hold(path, exclusive);
  }

 private:
  class FaultyInput;
  struct Rule {
    FileCall kind;
    std::string pathPart;
    int passing;
  };
  // Records the call; true when a rule makes it fail.
  bool Fails(FileCall kind, const std::string& path, const std::string& to = "");
  // Records a call of any other kind; its path.
  const std::string& Seen(const std::string& path, const std::string& to = "") {
    calls.push_back({FileCall::Other, path, to});
    return path;
  }

  platform::FileSystem* inner_;
  std::vector<Rule> rules_;
  std::function<void(std::string&)> damage_;
  std::string damagePathPart_;
};

}  // namespace quarnel::testing
