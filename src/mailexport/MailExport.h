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
  std::string folder;   // its place in the store, "Local Folders\Inbox"
  std::string fileName; // its .dbx file
  std::uint64_t exported = 0;
  std::uint64_t skipped =
      0; // described without text in the folder (headers only)
  std::uint64_t damaged = 0; // in damaged parts of the file: not exported
  std::string
      problem; // why the folder could not be read at all, or "" when it could
};

struct ExportResult {
  std::vector<FolderSummary> folders;
  std::string outputError; // "" unless writing failed, which ends the export
  bool Complete() const;   // every message of every folder exported
};

// The export reports its progress here; a window and the command line each have
// one.
class ExportListener {
public:
  virtual ~ExportListener() = default;
  virtual void OnFolderStarted(const std::string &folder,
                               std::uint64_t statedMessages) {}
  virtual void OnMessagesDone(const std::string &folder, std::uint64_t done) {}
  virtual void OnFolderDone(const FolderSummary &summary) {}
};

// Where the mail-folder files come from.
class MailSource {
public:
  virtual ~MailSource() = default;
  // The names of its files (Folders.dbx among them when there is one).
  virtual std::vector<std::string> FileNames() = 0;
  // One of them open for reading; null, with the reason, when it cannot be
  // read.
  virtual std::unique_ptr<mailstore::RandomInput>
  Open(const std::string &fileName, std::string *problem) = 0;
};

// Exports every mail folder of the source into outFolder (created when
// missing). Files already there are kept: new ones get names of their own.
ExportResult ExportMail(MailSource &source, const std::string &outFolder,
                        ExportFormat format,
                        ExportListener *listener = nullptr);

} // namespace quarnel::mailexport
