#include "app/MainArchiveListener.h"

namespace quarnel::app {

void MainArchiveListener::OnAddingFile(const std::string& name) {
  view_.PumpEvents();
  view_.SetText(Control::SkinLabel12, "Adding File " + name);
  view_.PumpEvents();
  view_.Pause(10);
}

void MainArchiveListener::OnExtractingFile(const std::string& name) {
  view_.PumpEvents();
  view_.SetText(Control::SkinLabel12, "Unzip File " + name);
  view_.PumpEvents();
  view_.Pause(1000);
}

void MainArchiveListener::OnWriteProgress(int percent) {
  view_.PumpEvents();
  view_.SetText(Control::SkinLabel11, "Write File " + std::to_string(percent) + "%");
}

void MainArchiveListener::OnWriteDone() { archive::ArchiveWritten() = 1; }

void MainArchiveListener::OnVerifying() {
  view_.PumpEvents();
  view_.SetText(Control::Label1, "Checking backup file...");
  view_.PumpEvents();
}

void PumpingArchiveListener::OnWriteDone() { archive::ArchiveWritten() = 1; }

}  // namespace quarnel::app
