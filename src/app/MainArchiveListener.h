#pragma once
// How the main window follows the archive's work: it keeps painting, shows the file in
// hand on the progress panel and notes when the archive is complete.
#include "app/MainView.h"
#include "archive/ArchiveListener.h"

namespace quarnel::app {

class MainArchiveListener : public archive::ArchiveListener {
 public:
  explicit MainArchiveListener(MainView& view) : view_(view) {}

  void OnAddingFile(const std::string& name) override;
  void OnExtractingFile(const std::string& name) override;
  void OnWriteProgress(int percent) override;
  void OnWriteDone() override;
  void OnVerifying() override;

 private:
  MainView& view_;
};

// The unattended run has no window to paint: it only lets pending messages through.
class PumpingArchiveListener : public archive::ArchiveListener {
 public:
  explicit PumpingArchiveListener(MainView& view) : view_(view) {}

  void OnAddingFile(const std::string&) override { view_.PumpEvents(); }
  void OnExtractingFile(const std::string&) override { view_.PumpEvents(); }
  void OnWriteProgress(int) override { view_.PumpEvents(); }
  void OnWriteDone() override;
  void OnVerifying() override { view_.PumpEvents(); }

 private:
  MainView& view_;
};

}  // namespace quarnel::app
