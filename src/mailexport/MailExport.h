#pragma once
// Exporting the mail folders of a message store (a folder, a single .dbx file,
// or the mail folders of a backup) as files current mail programs import: a
// folder of .eml files per mail folder (each message's bytes exactly as stored)
// or one mbox file per mail folder (mboxrd), in a tree of folders that mirrors
// the store's nesting.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mailstore/RandomInput.h"

namespace quarnel::mailexport {

enum class ExportFormat { kEml, kMbox };

// What became of one mail folder.
struct FolderSummary {
  std::string folder;    // its place in the store, "Local Folders\Inbox"
  std::string fileName;  // its .dbx file
  std::uint64_t exported = 0;
  std::uint64_t skipped = 0;  // described without text in the folder (headers only)
  std::uint64_t damaged = 0;  // in damaged parts of the file: not exported
  std::string problem;        // why the folder could not be read at all, or "" when it could
};

struct ExportResult {
  std::vector<FolderSummary> folders;
  std::string outputError;  // "" unless writing failed, which ends the export
  bool cancelled = false;   // the listener asked to stop: the rest was left
  bool Complete() const;    // every message of every folder exported
};

// The export reports its progress here; a window and the command line each have
// one.
class ExportListener {
 public:
  virtual ~ExportListener() = default;
  virtual void OnFolderStarted(const std::string &folder, std::uint64_t statedMessages) {}
  virtual void OnMessagesDone(const std::string &folder, std::uint64_t done) {}
  virtual void OnFolderDone(const FolderSummary &summary) {}
  // Asked before each message: true ends the export there, every file written
  // so far whole.
  virtual bool Cancelled() { return false; }
};

// Where the mail-folder files come from.
class MailSource {
 public:
  virtual ~MailSource() = default;
  // The names of its files (Folders.dbx among them when there is one).
  virtual std::vector<std::string> FileNames() = 0;
  // One of them open for reading; null, with the reason, when it cannot be
  // read.
  virtual std::unique_ptr<mailstore::RandomInput> Open(const std::string &fileName, std::string *problem) = 0;
};

// A mail folder of a source: its place in the tree, from the top, as the
// export names the folders it makes, and its file.
struct MailFolder {
  std::vector<std::string> path;
  std::string fileName;
};

// The source's mail folders in the order of their tree: a folder before the
// folders inside it. The store's own files that hold no mail are left out.
std::vector<MailFolder> ListMailFolders(MailSource &source);

// Exports the mail folders of the source into outFolder (created when
// missing): every one, or those whose files fileNames names. Files already
// there are kept: new ones get names of their own.
ExportResult ExportMail(MailSource &source, const std::string &outFolder, ExportFormat format,
                        ExportListener *listener = nullptr, const std::vector<std::string> *fileNames = nullptr);

}  // namespace quarnel::mailexport
