#pragma once
// What the mail export window's logic reads and writes of the window. The Win32 dialog
// implements it; tests use a fake.
#include <string>
#include <vector>

#include "mailexport/MailExport.h"

namespace quarnel::exportui {

// One line of the folder list.
struct FolderRow {
  std::string name;  // the folder's own name; shown indented by its depth
  int depth = 0;
  bool mailFolder = true;  // false: a folder that only holds others, shown without a box
};

class ExportView {
 public:
  virtual ~ExportView() = default;
  // Fills the folder list; every mail folder's box starts ticked.
  virtual void ShowFolders(const std::vector<FolderRow>& rows) = 0;
  virtual bool FolderTicked(int row) const = 0;
  virtual std::string Target() const = 0;
  virtual void SetTarget(const std::string& folder) = 0;
  virtual mailexport::ExportFormat Format() const = 0;
  virtual void SetFormat(mailexport::ExportFormat format) = 0;
  // The folder picker; "" when cancelled or when the choice has no file-system path.
  virtual std::string BrowseForFolder(const std::string& title) = 0;
  // While an export runs, the choices and Export are disabled and Close reads "Cancel".
  virtual void SetRunning(bool running) = 0;
  virtual void ShowProgress(const std::string& text, int percent) = 0;
  virtual void ShowSummary(const std::string& text) = 0;
  virtual void PumpEvents() = 0;  // processes pending window messages, then returns
  virtual void Close() = 0;
};

}  // namespace quarnel::exportui
