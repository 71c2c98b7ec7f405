#pragma once
// The mail export window: the mail folders of a backup, ticked and nested as Outlook
// Express nests them, exported into a target folder as .eml files or mbox files, with its
// progress while it runs and a summary at the end, which the log gets too.
#include <string>
#include <vector>

#include "app/MainState.h"
#include "app/MainView.h"
#include "exportui/ExportView.h"
#include "mailexport/MailSources.h"

namespace quarnel::exportui {

inline constexpr const char* kExportCaption = "Export Mail";

class ExportLogic {
 public:
  ExportLogic(ExportView& view, std::string backupPath, std::string password)
      : view_(view), backupPath_(std::move(backupPath)), password_(std::move(password)) {}

  // Lists the backup's mail folders; a backup that cannot be read is reported and the
  // window closes.
  void Opening();
  void BrowseClicked();
  void ExportClicked();
  // Close, Esc and the frame's close box: while an export runs, they stop it.
  void CloseClicked();
  bool Running() const { return running_; }

 private:
  class Progress;

  ExportView& view_;
  std::string backupPath_;
  std::string password_;
  mailexport::BackupSource source_;
  std::vector<mailexport::MailFolder> folders_;
  std::vector<int> rowFolders_;  // per row of the list: its folder, or -1 for a heading
  bool running_ = false;
  bool cancel_ = false;
};

// The summary of an export, a line per folder and the total, as the window shows it.
std::string SummaryText(const mailexport::ExportResult& result, const std::string& target);

// File > Export Mail...: the export window on the backup opened on the restore page, or,
// with none open, on one chosen and opened as the page's Browse does.
void ExportMailFromMainWindow(app::MainState& state, app::MainView& view);

}  // namespace quarnel::exportui
