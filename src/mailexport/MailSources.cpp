#include "mailexport/MailSources.h"

#include <cstdio>
#include <set>

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "backup/InfoFile.h"
#include "mailclient/Locations.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::mailexport {

using mailstore::FileInput;
using mailstore::MemoryInput;
using mailstore::RandomInput;

namespace {

std::unique_ptr<RandomInput> OpenFile(const std::string &path, std::string *problem) {
  std::unique_ptr<FileInput> input = FileInput::Open(archive::detail::LocalPath(path));
  if (!input) *problem = "Cannot read \"" + path + "\"";
  return input;
}

// Collects an entry's content: in memory up to the bound, past it in a
// temporary file that is already gone from the folder (POSIX) or goes when it
// is closed (Windows).
class Spool {
 public:
  Spool(std::uint64_t stated, std::uint64_t inMemory) : inMemory_(inMemory) {
    if (stated > inMemory_) ToFile();
  }
  ~Spool() {
    if (file_) std::fclose(file_);
    if (!path_.empty()) platform::Files().RemoveFile(path_);
  }
  bool Put(const char *data, std::size_t size) {
    if (!file_ && !failed_ && memory_.size() + size > inMemory_) {
      ToFile();
      if (file_ && !memory_.empty()) {
        failed_ = std::fwrite(memory_.data(), 1, memory_.size(), file_) != memory_.size();
        std::string().swap(memory_);
      }
    }
    if (failed_) return false;
    if (!file_) {
      memory_.append(data, size);
      return true;
    }
    failed_ = std::fwrite(data, 1, size, file_) != size;
    return !failed_;
  }
  std::unique_ptr<RandomInput> Finish(std::string *problem) {
    if (failed_) {
      *problem = "Cannot write a temporary file in \"" + platform::System().TempPath() + "\" (disk full?)";
      return nullptr;
    }
    if (!file_) return std::make_unique<MemoryInput>(std::move(memory_));
    std::FILE *file = file_;
    file_ = nullptr;
    if (std::fflush(file) != 0) {
      std::fclose(file);
      *problem = "Cannot write a temporary file (disk full?)";
      return nullptr;
    }
    return FileInput::Adopt(file);
  }

 private:
  void ToFile() {
    platform::SystemFacts &system = platform::System();
    failed_ = true;
    if (!system.CreateTempFile(system.TempPath(), "qbx", &path_)) return;
#ifdef _WIN32
    file_ = std::fopen(archive::detail::LocalPath(path_).c_str(),
                       "w+bD");  // deleted on closing
#else
    file_ = std::fopen(archive::detail::LocalPath(path_).c_str(), "w+b");
    if (file_) platform::Files().RemoveFile(path_);
#endif
    failed_ = file_ == nullptr;
  }

  std::uint64_t inMemory_;
  std::string memory_;
  std::FILE *file_ = nullptr;
  std::string path_;
  bool failed_ = false;
};

bool IsDbxName(const std::string &name) {
  return name.size() > 4 && platform::UpperAnsi(name.substr(name.size() - 4)) == ".DBX";
}

}  // namespace

std::vector<std::string> DbxFileSource::FileNames() { return {archive::detail::BaseName(path_)}; }

std::unique_ptr<RandomInput> DbxFileSource::Open(const std::string &fileName, std::string *problem) {
  return OpenFile(path_, problem);
}

std::vector<std::string> StoreFolderSource::FileNames() {
  std::vector<std::string> names;
  for (const std::string &name : platform::Files().ListFiles(folder_)) {
    if (IsDbxName(name)) names.push_back(name);
  }
  return names;
}

std::unique_ptr<RandomInput> StoreFolderSource::Open(const std::string &fileName, std::string *problem) {
  return OpenFile(archive::detail::JoinPath(folder_, fileName), problem);
}

std::vector<std::string> MatchEntryNames(const std::string &value,
                                         const std::function<bool(const std::string &)> &isEntry) {
  constexpr std::size_t kMaxJoined = 16;  // pieces one name may span
  const std::vector<std::string> pieces = backup::SplitEntryNames(value);
  const std::size_t n = pieces.size();
  auto joined = [&](std::size_t from, std::size_t to) {
    std::string name = pieces[from];
    for (std::size_t k = from + 1; k <= to; ++k) name += ";" + pieces[k];
    return name;
  };
  // complete[i]: pieces i.. can all be taken as names.
  std::vector<char> complete(n + 1, 0);
  complete[n] = 1;
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t j = i; j < n && j < i + kMaxJoined && !complete[i]; ++j) {
      complete[i] = complete[j + 1] && isEntry(joined(i, j));
    }
  }
  std::vector<std::string> names;
  for (std::size_t i = 0; i < n;) {
    std::size_t take = n;  // the piece alone, when nothing fits
    for (std::size_t j = i; j < n && j < i + kMaxJoined && take == n; ++j) {
      if (isEntry(joined(i, j)) && complete[j + 1]) take = j;
    }
    for (std::size_t j = i; j < n && j < i + kMaxJoined && take == n; ++j) {
      if (isEntry(joined(i, j))) take = j;
    }
    if (take == n) take = i;
    if (!pieces[i].empty() || take != i) names.push_back(joined(i, take));
    i = take + 1;
  }
  return names;
}

BackupOpen BackupSource::OpenBackup(const std::string &path, const std::string &password, std::string *message) {
  archive::ZipArchive zip;
  if (!zip.OpenArchive(path)) {
    *message = zip.LastError();
    return BackupOpen::kUnreadable;
  }
  const bool needsPassword = zip.IsArchiveProtected(path) == 1;
  if (needsPassword && password.empty()) {
    *message = "The backup is protected with a password";
    return BackupOpen::kNeedsPassword;
  }
  zip.ReadPassword(needsPassword ? password : std::string());
  if (needsPassword && zip.CheckPassword() != 1) {
    *message = zip.LastError();
    return BackupOpen::kWrongPassword;
  }
  std::optional<archive::ArchiveEntry> info = zip.FindEntry(backup::kInfoFileName);
  if (!info) {
    *message = "No information file: not a backup file";
    return BackupOpen::kNotBackup;
  }
  platform::SystemFacts &system = platform::System();
  std::string infoPath;
  if (!system.CreateTempFile(system.TempPath(), "qbx", &infoPath)) {
    *message = "Cannot create a temporary file in \"" + system.TempPath() + "\"";
    return BackupOpen::kUnreadable;
  }
  const std::optional<backup::BackupInfo> read = backup::ExtractBackupInfo(*info, infoPath);
  const bool extracted = read.has_value();
  const backup::BackupInfo facts = read.value_or(backup::BackupInfo{});
  platform::Files().RemoveFile(infoPath);
  if (!extracted) {
    *message = zip.LastError();
    return BackupOpen::kUnreadable;
  }
  if (!entries_.Open(path, message)) return BackupOpen::kUnreadable;
  if (facts.record) entries_.Expect(*facts.record);
  password_ = needsPassword ? password : std::string();
  const std::set<std::string> names(entries_.Names().begin(), entries_.Names().end());
  mailNames_ = MatchEntryNames(facts.entryNames[mailclient::kItemMails],
                               [&](const std::string &name) { return names.count(name) > 0; });
  if (mailNames_.empty()) {
    *message = "The backup holds no mail folders";
    return BackupOpen::kNoMail;
  }
  return BackupOpen::kOpened;
}

std::unique_ptr<RandomInput> BackupSource::Open(const std::string &fileName, std::string *problem) {
  std::uint64_t stated = 0;
  if (!entries_.StatedSize(fileName, password_, &stated, problem)) return nullptr;
  Spool spool(stated, inMemory_);
  std::uint64_t done = 0;
  bool stopped = false;
  if (!entries_.Read(
          fileName, password_,
          [&](const char *data, std::size_t size) {
            done += size;
            stopped = progress_ && !progress_(fileName, done, stated);
            return !stopped && spool.Put(data, size);
          },
          problem)) {
    if (stopped) *problem = "Stopped before it had been read";
    return nullptr;
  }
  return spool.Finish(problem);
}

}  // namespace quarnel::mailexport
