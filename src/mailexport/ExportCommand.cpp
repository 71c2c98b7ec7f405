#include "mailexport/ExportCommand.h"

#include <cstring>
#include <memory>

#include "mailexport/MailSources.h"
#include "mailstore/RandomInput.h"
#include "platform/Services.h"

#ifdef _WIN32
#include <io.h>
#define QUARNEL_ISATTY(f) _isatty(_fileno(f))
#else
#include <unistd.h>
#define QUARNEL_ISATTY(f) isatty(fileno(f))
#endif

namespace quarnel::mailexport {
namespace {

const char kUsage[] =
    "Usage: quarnel-export BACKUP.soe|STORE-FOLDER|FILE.dbx "
    "OUTDIR [--mbox|--eml] [--password-file FILE]\n"
    "Exports every message of the mail folders as .eml files "
    "(the default), one folder of them\n"
    "per mail folder, or as one mbox file per mail folder "
    "(--mbox). A protected backup's\n"
    "password is read from the first line of FILE.\n";

// One line that keeps being rewritten on a terminal; elsewhere a line per
// finished folder.
class ProgressLine : public ExportListener {
 public:
  explicit ProgressLine(std::FILE *err) : err_(err), terminal_(QUARNEL_ISATTY(err) != 0) {}
  void OnFolderStarted(const std::string &folder, std::uint64_t stated) override {
    stated_ = stated;
    if (terminal_) Show(folder, 0);
  }
  void OnMessagesDone(const std::string &folder, std::uint64_t done) override {
    if (terminal_ && done % 100 == 0) Show(folder, done);
  }
  void OnFolderDone(const FolderSummary &s) override {
    if (terminal_) std::fputs("\r\033[K", err_);
    std::fprintf(err_, "%s: %llu exported\n", s.folder.c_str(), static_cast<unsigned long long>(s.exported));
    std::fflush(err_);
  }

 private:
  void Show(const std::string &folder, std::uint64_t done) {
    std::fprintf(err_, "\r\033[K%s: %llu of %llu", folder.c_str(), static_cast<unsigned long long>(done),
                 static_cast<unsigned long long>(stated_));
    std::fflush(err_);
  }
  std::FILE *err_;
  bool terminal_;
  std::uint64_t stated_ = 0;
};

void PrintSummary(const ExportResult &r, const std::string &out, std::FILE *f) {
  unsigned long long exported = 0, skipped = 0, damaged = 0;
  std::fprintf(f, "%-40s %9s %8s %8s\n", "Folder", "Exported", "Skipped", "Damaged");
  for (const FolderSummary &s : r.folders) {
    std::fprintf(f, "%-40s %9llu %8llu %8llu\n", s.folder.c_str(), static_cast<unsigned long long>(s.exported),
                 static_cast<unsigned long long>(s.skipped), static_cast<unsigned long long>(s.damaged));
    if (!s.problem.empty()) std::fprintf(f, "  %s (%s): %s\n", s.folder.c_str(), s.fileName.c_str(), s.problem.c_str());
    exported += s.exported;
    skipped += s.skipped;
    damaged += s.damaged;
  }
  std::fprintf(f, "%-40s %9llu %8llu %8llu\n", "Total", exported, skipped, damaged);
  if (!r.outputError.empty()) {
    std::fprintf(f, "Stopped: %s\n", r.outputError.c_str());
  } else if (r.Complete()) {
    std::fprintf(f, "Every message was exported to \"%s\".\n", out.c_str());
  } else {
    std::fprintf(f,
                 "Exported to \"%s\"; the messages counted as skipped (only "
                 "their headers are in the folder) "
                 "or damaged could not be exported.\n",
                 out.c_str());
  }
}

enum class Kind { kNone, kBackup, kStore, kDbx };

Kind KindOf(const std::string &path) {
  platform::FileSystem &files = platform::Files();
  if (files.FolderExists(path)) return Kind::kStore;
  if (!files.FileExists(path)) return Kind::kNone;
  std::unique_ptr<platform::InputFile> in = files.OpenInput(path);
  unsigned char head[4] = {};
  if (!in || in->Read(head, 4) != 4) return Kind::kNone;
  if (std::memcmp(head, "PK\3\4", 4) == 0) return Kind::kBackup;
  if (std::memcmp(head, "\xCF\xAD\x12\xFE", 4) == 0) return Kind::kDbx;
  return Kind::kNone;
}

}  // namespace

int RunExportCommand(const std::vector<std::string> &args, std::FILE *out, std::FILE *err) {
  std::vector<std::string> paths;
  ExportFormat format = ExportFormat::kEml;
  std::string passwordFile;
  bool havePasswordFile = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--mbox") {
      format = ExportFormat::kMbox;
    } else if (args[i] == "--eml") {
      format = ExportFormat::kEml;
    } else if (args[i] == "--password-file" && i + 1 < args.size()) {
      passwordFile = args[++i];
      havePasswordFile = true;
    } else if (args[i].rfind("--", 0) == 0) {
      std::fprintf(err, "Unknown option %s\n%s", args[i].c_str(), kUsage);
      return kExitUsage;
    } else {
      paths.push_back(args[i]);
    }
  }
  if (paths.size() != 2) {
    std::fputs(kUsage, err);
    return kExitUsage;
  }
  std::string password;
  if (havePasswordFile) {
    if (!platform::Files().ReadAll(passwordFile, &password)) {
      std::fprintf(err, "Cannot read the password file \"%s\"\n", passwordFile.c_str());
      return kExitUsage;
    }
    password = password.substr(0, password.find_first_of("\r\n"));
  }

  const std::string &from = paths[0];
  std::unique_ptr<MailSource> source;
  switch (KindOf(from)) {
    case Kind::kNone:
      std::fprintf(err, "\"%s\" is no backup file, store folder or mail folder file (.dbx)\n", from.c_str());
      return kExitUnreadable;
    case Kind::kStore:
      source = std::make_unique<StoreFolderSource>(from);
      break;
    case Kind::kDbx:
      source = std::make_unique<DbxFileSource>(from);
      break;
    case Kind::kBackup: {
      auto backup = std::make_unique<BackupSource>();
      std::string message;
      switch (backup->OpenBackup(from, password, &message)) {
        case BackupOpen::kOpened:
          break;
        case BackupOpen::kNeedsPassword:
          std::fprintf(err, "%s: give it with --password-file\n", message.c_str());
          return kExitPassword;
        case BackupOpen::kWrongPassword:
          std::fprintf(err, "The password does not open the backup\n");
          return kExitPassword;
        default:
          std::fprintf(err, "Cannot read \"%s\": %s\n", from.c_str(), message.c_str());
          return kExitUnreadable;
      }
      source = std::move(backup);
      break;
    }
  }

  ProgressLine progress(err);
  const ExportResult result = ExportMail(*source, paths[1], format, &progress);
  PrintSummary(result, paths[1], out);
  if (!result.outputError.empty()) return kExitCannotWrite;
  if (result.folders.empty()) {
    std::fprintf(err, "No mail folder in \"%s\"\n", from.c_str());
    return kExitUnreadable;
  }
  return result.Complete() ? kExitComplete : kExitPartial;
}

}  // namespace quarnel::mailexport
