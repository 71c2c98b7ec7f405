#pragma once
// The mail export window made of plain fields, for tests of its logic.
#include <functional>
#include <string>
#include <vector>

#include "exportui/ExportView.h"

namespace quarnel::testing {

class FakeExportView : public exportui::ExportView {
 public:
  void ShowFolders(const std::vector<exportui::FolderRow>& shown) override {
    rows = shown;
    ticked.clear();
    for (const exportui::FolderRow& row : shown) ticked.push_back(row.mailFolder);
  }
  bool FolderTicked(int row) const override { return ticked.at(static_cast<std::size_t>(row)); }
  std::string Target() const override { return target; }
  void SetTarget(const std::string& folder) override { target = folder; }
  mailexport::ExportFormat Format() const override { return format; }
  void SetFormat(mailexport::ExportFormat f) override { format = f; }
  std::string BrowseForFolder(const std::string&) override { return folderAnswer; }
  void SetRunning(bool r) override { running = r; }
  void ShowProgress(const std::string& text, int) override { status = text; }
  void ShowSummary(const std::string& text) override { summary = text; }
  void PumpEvents() override { onPump ? onPump() : void(); }
  void Close() override { ++closes; }

  // "name depth [x], ...": the list as shown, "[x]" for a ticked box.
  std::string Rows() const {
    std::string text;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      text += (i ? ", " : "") + rows[i].name + " " + std::to_string(rows[i].depth) + (ticked[i] ? " [x]" : "");
    }
    return text;
  }

  std::vector<exportui::FolderRow> rows;
  std::vector<bool> ticked;
  std::string target, folderAnswer, status, summary;
  mailexport::ExportFormat format = mailexport::ExportFormat::kMbox;
  bool running = false;
  int closes = 0;
  std::function<void()> onPump;  // what the user does while the export runs
};

}  // namespace quarnel::testing
