#include "exportui/ExportLogic.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/Product.h"
#include "app/Settings.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::exportui {

using mailexport::BackupOpen;
using mailexport::ExportFormat;
using mailexport::ExportResult;
using mailexport::FolderSummary;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

// Often enough that the window follows the mouse, seldom enough to cost the export nothing.
constexpr std::chrono::milliseconds kRefresh(100);

void Tell(const std::string& text, MessageIcon icon) {
  platform::Messages().Show(text, app::kApplicationTitle, MessageButtons::Ok, icon);
}

std::string Counts(std::uint64_t exported, std::uint64_t skipped, std::uint64_t damaged) {
  return std::to_string(exported) + " exported, " + std::to_string(skipped) + " skipped, " + std::to_string(damaged) +
         " damaged";
}

std::string FolderLine(const FolderSummary& s) {
  std::string line = s.folder + ": " + Counts(s.exported, s.skipped, s.damaged);
  if (!s.problem.empty()) line += " (" + s.fileName + ": " + s.problem + ")";
  return line;
}

// "<folder of the backup>\<its name without .soe> mail".
std::string DefaultTarget(const std::string& backupPath) {
  const std::size_t slash = backupPath.find_last_of("\\/");
  std::string name = slash == std::string::npos ? backupPath : backupPath.substr(slash + 1);
  if (name.size() > 4 && platform::UpperAnsi(name.substr(name.size() - 4)) == ".SOE") name.resize(name.size() - 4);
  const std::string folder = slash == std::string::npos ? std::string() : backupPath.substr(0, slash);
  return folder.empty() ? name + " mail" : app::JoinPath(folder, name + " mail");
}

}  // namespace

// Shows how far the export has come and keeps the window answering while it runs.
class ExportLogic::Progress : public mailexport::ExportListener {
 public:
  Progress(ExportLogic& logic, std::size_t folders) : logic_(logic), folders_(std::max<std::size_t>(folders, 1)) {}

  bool Reading(const std::string& fileName, std::uint64_t done, std::uint64_t total) {
    Show("Reading " + fileName + " from the backup...", Part(done, total) / 2, false);
    return !logic_.cancel_;
  }
  void OnFolderStarted(const std::string& folder, std::uint64_t stated) override {
    stated_ = stated;
    Show(folder + ": 0 of " + std::to_string(stated) + " messages", 0.5, true);
  }
  void OnMessagesDone(const std::string& folder, std::uint64_t done) override {
    Show(folder + ": " + std::to_string(done) + " of " + std::to_string(stated_) + " messages",
         0.5 + Part(done, stated_) / 2, false);
  }
  void OnFolderDone(const FolderSummary& summary) override {
    ++finished_;
    Show(summary.folder + ": " + Counts(summary.exported, summary.skipped, summary.damaged), 0, true);
  }
  bool Cancelled() override { return logic_.cancel_; }

 private:
  static double Part(std::uint64_t done, std::uint64_t total) {
    return total == 0 ? 0 : std::min(1.0, static_cast<double>(done) / static_cast<double>(total));
  }
  void Show(const std::string& text, double folderPart, bool now) {
    const auto time = std::chrono::steady_clock::now();
    if (!now && time - shown_ < kRefresh) return;
    shown_ = time;
    const double whole = (static_cast<double>(std::min(finished_, folders_)) + folderPart) / folders_;
    logic_.view_.ShowProgress(text, static_cast<int>(std::min(1.0, whole) * 100));
    logic_.view_.PumpEvents();
  }

  ExportLogic& logic_;
  std::size_t folders_;
  std::size_t finished_ = 0;
  std::uint64_t stated_ = 0;
  std::chrono::steady_clock::time_point shown_;
};

void ExportLogic::Opening() {
  std::string message;
  const BackupOpen opened = source_.OpenBackup(backupPath_, password_, &message);
  if (opened != BackupOpen::kOpened) {
    if (opened == BackupOpen::kNeedsPassword || opened == BackupOpen::kWrongPassword) {
      Tell("Incorect Password or Invalid backup file", MessageIcon::Information);
    } else if (opened == BackupOpen::kNoMail) {
      Tell("The backup holds no mail folders.", MessageIcon::Information);
    } else {
      Tell("Cannot read the backup file: " + message, MessageIcon::Critical);
    }
    view_.Close();
    return;
  }
  folders_ = mailexport::ListMailFolders(source_);
  // Each folder under the folders that hold it, those without messages of their own as
  // headings.
  std::vector<FolderRow> rows;
  std::set<std::string> shown;  // upper-case paths
  for (std::size_t f = 0; f < folders_.size(); ++f) {
    const std::vector<std::string>& path = folders_[f].path;
    std::string key;
    for (std::size_t depth = 0; depth < path.size(); ++depth) {
      key += "\\" + platform::UpperAnsi(path[depth]);
      const bool own = depth + 1 == path.size();
      if (!own && shown.count(key)) continue;
      shown.insert(key);
      rows.push_back({path[depth], static_cast<int>(depth), own});
      rowFolders_.push_back(own ? static_cast<int>(f) : -1);
    }
  }
  view_.ShowFolders(rows);
  view_.SetTarget(DefaultTarget(backupPath_));
  view_.SetFormat(ExportFormat::kEml);
  view_.ShowProgress("", 0);
  view_.ShowSummary("");
}

void ExportLogic::BrowseClicked() {
  if (running_) return;
  const std::string chosen = view_.BrowseForFolder("Choose the folder to export the mail into:");
  if (!chosen.empty()) view_.SetTarget(chosen);
}

void ExportLogic::ExportClicked() {
  if (running_) return;
  const std::string target = app::TrimBlanks(view_.Target());
  if (target.empty()) {
    Tell("Please choose a target folder.", MessageIcon::Exclamation);
    return;
  }
  std::vector<std::string> chosen;
  for (std::size_t row = 0; row < rowFolders_.size(); ++row) {
    if (rowFolders_[row] >= 0 && view_.FolderTicked(static_cast<int>(row))) {
      chosen.push_back(folders_[static_cast<std::size_t>(rowFolders_[row])].fileName);
    }
  }
  if (chosen.empty()) {
    Tell("Please select at least one mail folder.", MessageIcon::Exclamation);
    return;
  }
  const ExportFormat format = view_.Format();
  const std::string log = app::LogFilePath();
  app::AppendLog(log, app::LogSeparator());
  app::AppendLog(log, app::LogEvent(" Start Export Mail from " + backupPath_));
  app::AppendLog(log, app::LogEvent(" Export Mail to " + target +
                                    (format == ExportFormat::kMbox ? " as mbox files" : " as .eml files")));
  running_ = true;
  cancel_ = false;
  view_.SetRunning(true);
  view_.ShowSummary("");
  Progress progress(*this, chosen.size());
  source_.SetReadProgress([&progress](const std::string& name, std::uint64_t done, std::uint64_t total) {
    return progress.Reading(name, done, total);
  });
  const ExportResult result = mailexport::ExportMail(source_, target, format, &progress, &chosen);
  source_.SetReadProgress(nullptr);
  running_ = false;

  for (const FolderSummary& s : result.folders) app::AppendLog(log, app::LogEvent(" Export " + FolderLine(s)));
  app::AppendLog(
      log, app::LogClosingEvent(result.Complete() ? " Export Mail was Completed!" : " Export Mail was not Completed!"));
  view_.SetRunning(false);
  view_.ShowProgress(result.cancelled             ? "Cancelled."
                     : result.outputError.empty() ? "Finished."
                                                  : "Stopped.",
                     result.cancelled || !result.outputError.empty() ? 0 : 100);
  view_.ShowSummary(SummaryText(result, target));
}

void ExportLogic::CloseClicked() {
  if (running_) {
    cancel_ = true;
    return;
  }
  view_.Close();
}

std::string SummaryText(const ExportResult& result, const std::string& target) {
  std::string text;
  std::uint64_t exported = 0, skipped = 0, damaged = 0;
  for (const FolderSummary& s : result.folders) {
    text += FolderLine(s) + "\r\n";
    exported += s.exported;
    skipped += s.skipped;
    damaged += s.damaged;
  }
  text += "Total: " + Counts(exported, skipped, damaged) + "\r\n";
  if (!result.outputError.empty()) {
    text += "Stopped: " + result.outputError;
  } else if (result.cancelled) {
    text += "Cancelled: what is counted above was exported to \"" + target + "\".";
  } else if (result.Complete()) {
    text += "Every message was exported to \"" + target + "\".";
  } else {
    text += "Exported to \"" + target +
            "\"; the messages counted as skipped (only their headers are in the folder) or damaged could not be "
            "exported.";
  }
  return text;
}

void ExportMailFromMainWindow(app::MainState& state, app::MainView& view) {
  if (state.JobRunning) return;
  const auto opened = [&state] { return !state.NoValidBackupFile && !state.BackupFilePath.empty(); };
  if (!opened()) app::OpenBackupFile(state, view);
  if (opened()) view.ShowModal(app::ModalWindow::MailExport);
}

}  // namespace quarnel::exportui
