#pragma once
// The places mail folders are exported from: one .dbx file, a store folder, a
// backup.
#include <functional>
#include <string>
#include <vector>

#include "mailexport/BackupEntries.h"
#include "mailexport/MailExport.h"

namespace quarnel::mailexport {

// A single .dbx file.
class DbxFileSource : public MailSource {
 public:
  explicit DbxFileSource(std::string path) : path_(std::move(path)) {}
  std::vector<std::string> FileNames() override;
  std::unique_ptr<mailstore::RandomInput> Open(const std::string &fileName, std::string *problem) override;

 private:
  std::string path_;
};

// The .dbx files of a folder: a message store, or a copy of one.
class StoreFolderSource : public MailSource {
 public:
  explicit StoreFolderSource(std::string folder) : folder_(std::move(folder)) {}
  std::vector<std::string> FileNames() override;
  std::unique_ptr<mailstore::RandomInput> Open(const std::string &fileName, std::string *problem) override;

 private:
  std::string folder_;
};

// The entry names a ";"-list value stands for. A name may itself hold ";", so
// adjacent pieces are joined again where that gives a name isEntry knows,
// preferring the way that accounts for every piece; a piece that fits nothing
// is kept as it is.
std::vector<std::string> MatchEntryNames(const std::string &value,
                                         const std::function<bool(const std::string &)> &isEntry);

enum class BackupOpen { kOpened, kUnreadable, kNotBackup, kNeedsPassword, kWrongPassword, kNoMail };

// The mail folders of a backup file. A folder file is taken out of the backup
// into memory when it is small, else into a temporary file that is deleted once
// it has been read (and whatever happens to the program, where the system
// allows).
class BackupSource : public MailSource {
 public:
  static constexpr std::uint64_t kInMemory = 16 * 1024 * 1024;

  // How far taking a folder file out of the backup has come; false stops it.
  using ReadProgress = std::function<bool(const std::string &fileName, std::uint64_t done, std::uint64_t total)>;

  explicit BackupSource(std::uint64_t inMemory = kInMemory) : inMemory_(inMemory) {}
  void SetReadProgress(ReadProgress progress) { progress_ = std::move(progress); }
  BackupOpen OpenBackup(const std::string &path, const std::string &password, std::string *message);
  std::vector<std::string> FileNames() override { return mailNames_; }
  std::unique_ptr<mailstore::RandomInput> Open(const std::string &fileName, std::string *problem) override;

 private:
  BackupEntries entries_;
  std::string password_;
  std::vector<std::string> mailNames_;
  std::uint64_t inMemory_;
  ReadProgress progress_;
};

}  // namespace quarnel::mailexport
