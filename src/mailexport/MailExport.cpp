#include "mailexport/MailExport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

#include "mailexport/MailNames.h"
#include "mailstore/DbxFile.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::mailexport {

using mailstore::DbxFile;
using mailstore::DbxKind;
using mailstore::DbxMessage;
using mailstore::MessageRead;

namespace {

constexpr std::size_t kOutputBuffer = 256 * 1024;
constexpr int kMaxNesting = 64;
constexpr std::size_t kShortFolderName = 16;
const std::string kFolderList = "FOLDERS.DBX";

bool IsDbxName(const std::string &name) {
  return name.size() > 4 && platform::UpperAnsi(name.substr(name.size() - 4)) == ".DBX";
}

// A file written in large pieces; every failure is remembered. The buffer is
// our own: msvcrt takes a lock on every fwrite, and mbox text arrives a line at a
// time.
class OutputFile {
 public:
  explicit OutputFile(std::FILE *file) : file_(file) {
    if (file_) std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  ~OutputFile() { Close(); }
  bool Put(const char *data, std::size_t size) {
    if (buffer_.size() + size > kOutputBuffer) Flush();
    if (ok_ && size >= kOutputBuffer)
      ok_ = std::fwrite(data, 1, size, file_) == size;
    else if (ok_)
      buffer_.append(data, size);
    return ok_;
  }
  bool Put(const std::string &text) { return Put(text.data(), text.size()); }
  bool Close() {
    if (file_) {
      Flush();
      ok_ = std::fclose(file_) == 0 && ok_;
    }
    file_ = nullptr;
    return ok_;
  }
  bool Opened() const { return ok_; }

 private:
  void Flush() {
    ok_ = ok_ && std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
    buffer_.clear();
  }

  std::FILE *file_;
  bool ok_ = file_ != nullptr;
  std::string buffer_;
};

// The first line feed in data, or null. msvcrt's memchr looks at one byte at a
// time; this at eight.
const char *FindLineFeed(const char *data, std::size_t size) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, data + i, 8);
    word ^= kOnes * '\n';
    if ((word - kOnes) & ~word & kHighBits) break;
  }
  for (; i < size; ++i) {
    if (data[i] == '\n') return data + i;
  }
  return nullptr;
}

// mboxrd: every line that reads ">*From " gets one more '>', so a reader takes
// exactly one off again. The text arrives in pieces of any size: the start of a
// line that may still become such a line is held back as a count of '>' and the
// letters of "From " matched.
class MboxMessage {
 public:
  explicit MboxMessage(OutputFile &out) : out_(out) {}
  bool Begin(const DbxMessage &m) {
    lineStart_ = true;
    quotes_ = 0;
    matched_ = 0;
    last_ = '\n';
    std::string sender = m.senderAddress;
    if (sender.empty() || sender.find_first_of(" \t\r\n") != std::string::npos) sender = "MAILER-DAEMON";
    return out_.Put("From " + sender + " " + MboxDate(m.sentTime ? m.sentTime : m.receivedTime) + "\r\n");
  }
  bool Write(const char *data, std::size_t size) {
    if (size > 0) last_ = data[size - 1];
    for (std::size_t i = 0; i < size;) {
      if (!lineStart_) {
        const char *newline = FindLineFeed(data + i, size - i);
        const std::size_t end = newline ? static_cast<std::size_t>(newline - data) + 1 : size;
        if (!out_.Put(data + i, end - i)) return false;
        i = end;
        if (newline) StartLine();
        continue;
      }
      const char c = data[i];
      if (matched_ == 0 && c == '>') {
        ++quotes_;
        ++i;
      } else if (c == kFrom[matched_]) {
        ++i;
        if (++matched_ == 5) {
          if (!out_.Put(">", 1) || !Release()) return false;
          lineStart_ = false;
        }
      } else {
        if (!Release()) return false;
        lineStart_ = false;
      }
    }
    return true;
  }
  bool End() {
    if (lineStart_ && !Release()) return false;
    if (last_ != '\n' && !out_.Put("\r\n")) return false;
    return out_.Put("\r\n");
  }

 private:
  static constexpr char kFrom[] = "From ";
  void StartLine() {
    lineStart_ = true;
    quotes_ = 0;
    matched_ = 0;
  }
  // What was held back, as it was.
  bool Release() {
    for (; quotes_ > 0; --quotes_) {
      if (!out_.Put(">", 1)) return false;
    }
    const bool ok = out_.Put(kFrom, matched_);
    matched_ = 0;
    return ok;
  }

  OutputFile &out_;
  bool lineStart_ = true;
  std::uint64_t quotes_ = 0;
  std::size_t matched_ = 0;
  char last_ = '\n';
};

struct PlannedFolder {
  std::vector<std::string> components;  // safe names, from the top
  std::string fileName;
};

std::string Joined(const std::vector<std::string> &parts, std::size_t count, const std::string &separator) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += (i ? separator : "") + parts[i];
  return text;
}

// The folder tree as Folders.dbx describes it; files it does not describe stand
// at the top under their own names.
std::vector<PlannedFolder> Plan(MailSource &source, const std::vector<std::string> &names) {
  std::map<std::string, std::vector<std::string>> described;  // upper-case file name -> components
  for (const std::string &name : names) {
    if (platform::UpperAnsi(name) != kFolderList) continue;
    std::string problem;
    std::unique_ptr<mailstore::RandomInput> input = source.Open(name, &problem);
    if (!input) break;
    DbxFile list(*input);
    const std::vector<mailstore::DbxFolder> folders = list.Folders();
    std::map<std::uint32_t, const mailstore::DbxFolder *> byId;
    for (const auto &f : folders) byId[f.id] = &f;
    for (const auto &f : folders) {
      if (f.fileName.empty()) continue;
      // Up to the root ("Outlook Express"), which is no folder of its own; a
      // parent that is missing ends the path, one that loops leaves the
      // folder's own name alone.
      std::vector<std::string> path;
      const mailstore::DbxFolder *at = &f;
      for (int depth = 0; at && at->parentId != 0xFFFFFFFF; ++depth) {
        if (depth == kMaxNesting) {
          path.assign(1, SafeName(f.name, kMaxFolderName, "Folder"));
          break;
        }
        path.push_back(SafeName(at->name, kMaxFolderName, "Folder"));
        auto parent = byId.find(at->parentId);
        at = parent == byId.end() ? nullptr : parent->second;
      }
      if (path.empty()) path.push_back(SafeName(f.name, kMaxFolderName, "Folder"));
      std::reverse(path.begin(), path.end());
      described.emplace(platform::UpperAnsi(f.fileName), path);
    }
    break;
  }
  std::vector<PlannedFolder> plan;
  std::set<std::string> taken;  // upper-case joined paths
  for (const std::string &name : names) {
    if (!IsDbxName(name) || platform::UpperAnsi(name) == kFolderList) continue;
    PlannedFolder p;
    p.fileName = name;
    auto d = described.find(platform::UpperAnsi(name));
    p.components = d != described.end()
                       ? d->second
                       : std::vector<std::string>{SafeName(name.substr(0, name.size() - 4), kMaxFolderName, "Folder")};
    const std::string last = p.components.back();
    for (int n = 2; !taken.insert(platform::UpperAnsi(Joined(p.components, p.components.size(), "\\"))).second; ++n) {
      p.components.back() = last + " (" + std::to_string(n) + ")";
    }
    plan.push_back(std::move(p));
  }
  std::sort(plan.begin(), plan.end(), [](const PlannedFolder &a, const PlannedFolder &b) {
    return platform::AnsiCompareNoCase(Joined(a.components, a.components.size(), "\\"),
                                       Joined(b.components, b.components.size(), "\\")) < 0;
  });
  return plan;
}

// *created: whether this call made the folder.
bool MakeFolder(const std::string &path, bool *created = nullptr) {
  platform::FileSystem &files = platform::Files();
  if (created) *created = false;
  if (files.FolderExists(path)) return true;
  if (!files.CreateFolder(path)) return false;
  if (created) *created = true;
  return true;
}

class Exporter {
 public:
  Exporter(MailSource &source, const std::string &out, ExportFormat format, ExportListener &listener)
      : source_(source), out_(out), format_(format), listener_(listener) {}

  FolderSummary Folder(PlannedFolder &p, bool *mailFolder, std::string *outputError);
  bool Cancelled() const { return cancelled_; }

 private:
  std::FILE *NewFile(const std::string &folder, const std::string &name, std::string *path) {
    return CreateUniqueFile(folder, name, &made_[platform::UpperAnsi(folder)], path);
  }
  std::string LocalFolder(const std::vector<std::string> &components, std::size_t count) const {
    std::string path = out_;
    for (std::size_t i = 0; i < count; ++i) path = JoinLocal(path, components[i]);
    return path;
  }
  bool Messages(DbxFile &dbx, const std::string &target, FolderSummary &s, std::string *outputError);

  MailSource &source_;
  std::string out_;
  ExportFormat format_;
  ExportListener &listener_;
  bool cancelled_ = false;
  std::map<std::string, MadeNames> made_;  // by upper-case folder
};

FolderSummary Exporter::Folder(PlannedFolder &p, bool *mailFolder, std::string *outputError) {
  FolderSummary s;
  s.folder = Joined(p.components, p.components.size(), "\\");
  s.fileName = p.fileName;
  *mailFolder = true;
  std::unique_ptr<mailstore::RandomInput> input = source_.Open(p.fileName, &s.problem);
  if (!input) return s;
  DbxFile dbx(*input);
  if (dbx.Kind() == DbxKind::kOther || dbx.Kind() == DbxKind::kFolders) {
    *mailFolder = false;  // the store's other files: no mail in them
    return s;
  }
  listener_.OnFolderStarted(s.folder, dbx.StatedMessages());
  if (dbx.Kind() != DbxKind::kMessages) {
    s.problem = "not a mail folder file (damaged header)";
    return s;
  }
  // Room for the messages' names: deep trees of long names are shortened.
  const std::size_t room = kMaxPathLength - 32;
  if (LocalFolder(p.components, p.components.size()).size() > room) {
    for (std::string &c : p.components) c = SafeName(c, kShortFolderName, "Folder");
  }
  if (LocalFolder(p.components, p.components.size()).size() > room) {
    s.problem = "its place in the target folder would be longer than Windows allows";
    return s;
  }
  const std::size_t made = format_ == ExportFormat::kEml ? p.components.size() : p.components.size() - 1;
  for (std::size_t i = 1; i <= made; ++i) {
    bool created = false;
    if (!MakeFolder(LocalFolder(p.components, i), &created)) {
      *outputError = "Cannot create the folder \"" + LocalFolder(p.components, i) + "\"";
      return s;
    }
    // A message folder this export made holds only the names it makes: under Wine its files
    // can then be made without Wine searching the folder for each new name.
    if (created && i == made && format_ == ExportFormat::kEml) {
      const std::string folder = LocalFolder(p.components, i);
      made_[platform::UpperAnsi(folder)].direct = platform::Files().DirectFolderName(folder);
    }
  }
  Messages(dbx, LocalFolder(p.components, made), s, outputError);
  return s;
}

bool Exporter::Messages(DbxFile &dbx, const std::string &target, FolderSummary &s, std::string *outputError) {
  std::unique_ptr<OutputFile> mbox;
  std::unique_ptr<MboxMessage> mboxMessage;
  std::string mboxPath;
  if (format_ == ExportFormat::kMbox) {
    mbox =
        std::make_unique<OutputFile>(NewFile(target, s.folder.substr(s.folder.rfind('\\') + 1) + ".mbox", &mboxPath));
    mboxMessage = std::make_unique<MboxMessage>(*mbox);
    if (!mbox->Opened()) {
      *outputError = "Cannot write \"" + mboxPath + "\"";
      return false;
    }
  }
  mailstore::IndexCounts counts = dbx.ForEachMessage([&](const DbxMessage &m) {
    if (listener_.Cancelled()) {
      cancelled_ = true;
      return false;
    }
    if (m.firstBlock == 0) {
      ++s.skipped;
    } else if (dbx.ReadMessage(m, nullptr) != MessageRead::kComplete) {
      ++s.damaged;
    } else if (mbox) {
      if (!mboxMessage->Begin(m) ||
          dbx.ReadMessage(m, [&](const char *d, std::size_t n) { return mboxMessage->Write(d, n); }) !=
              MessageRead::kComplete ||
          !mboxMessage->End()) {
        *outputError = "Cannot write \"" + mboxPath + "\" (disk full?)";
        return false;
      }
      ++s.exported;
    } else {
      const std::string name = MessageFileName(target, m.sentTime ? m.sentTime : m.receivedTime, m.subject);
      std::string path;
      OutputFile eml(NewFile(target, name, &path));
      if (!eml.Opened()) {
        *outputError = "Cannot write \"" + path + "\"";
        return false;
      }
      const bool written =
          dbx.ReadMessage(m, [&](const char *d, std::size_t n) { return eml.Put(d, n); }) == MessageRead::kComplete;
      if (!eml.Close() || !written) {
        platform::Files().RemoveFile(path);
        *outputError = "Cannot write \"" + path + "\" (disk full?)";
        return false;
      }
      ++s.exported;
    }
    listener_.OnMessagesDone(s.folder, s.exported + s.skipped + s.damaged);
    return true;
  });
  s.damaged += counts.unreadable;
  if (mbox && !mbox->Close() && outputError->empty()) *outputError = "Cannot write \"" + mboxPath + "\" (disk full?)";
  return outputError->empty();
}

}  // namespace

bool ExportResult::Complete() const {
  if (!outputError.empty() || cancelled) return false;
  return std::all_of(folders.begin(), folders.end(),
                     [](const FolderSummary &f) { return f.problem.empty() && f.skipped == 0 && f.damaged == 0; });
}

std::vector<MailFolder> ListMailFolders(MailSource &source) {
  std::vector<MailFolder> folders;
  for (PlannedFolder &p : Plan(source, source.FileNames())) {
    const std::string upper = platform::UpperAnsi(p.fileName);
    if (upper != "POP3UIDL.DBX" && upper != "OFFLINE.DBX")
      folders.push_back({std::move(p.components), std::move(p.fileName)});
  }
  // A folder before those inside it: compared name by name, not as one text.
  std::stable_sort(folders.begin(), folders.end(), [](const MailFolder &a, const MailFolder &b) {
    return std::lexicographical_compare(
        a.path.begin(), a.path.end(), b.path.begin(), b.path.end(),
        [](const std::string &x, const std::string &y) { return platform::AnsiCompareNoCase(x, y) < 0; });
  });
  return folders;
}

ExportResult ExportMail(MailSource &source, const std::string &outFolder, ExportFormat format, ExportListener *listener,
                        const std::vector<std::string> *fileNames) {
  ExportListener silent;
  ExportResult result;
  if (!MakeFolder(outFolder)) {
    result.outputError = "Cannot create the folder \"" + outFolder + "\"";
    return result;
  }
  // Planned over every file, so that a folder gets the same place whichever
  // are chosen.
  std::vector<PlannedFolder> plan = Plan(source, source.FileNames());
  Exporter exporter(source, outFolder, format, listener ? *listener : silent);
  for (PlannedFolder &p : plan) {
    if (fileNames && std::find(fileNames->begin(), fileNames->end(), p.fileName) == fileNames->end()) {
      continue;
    }
    if ((listener ? *listener : silent).Cancelled() || exporter.Cancelled()) {
      result.cancelled = true;
      break;
    }
    bool mailFolder = true;
    FolderSummary s = exporter.Folder(p, &mailFolder, &result.outputError);
    if (!mailFolder) continue;
    if (listener) listener->OnFolderDone(s);
    result.folders.push_back(std::move(s));
    if (!result.outputError.empty()) break;
  }
  result.cancelled = result.cancelled || exporter.Cancelled();
  return result;
}

}  // namespace quarnel::mailexport
