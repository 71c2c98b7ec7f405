#pragma once
// What the item operations work with: the main window's state (the zip
// component, the information file's path, the entry names of an opened backup),
// a way to let pending window events through, and the export files the registry
// items leave for the job to delete. The interactive job, the unattended job
// and the tests each provide one.
#include <array>
#include <functional>
#include <string>

#include "app/MainState.h"
#include "app/MainView.h"

namespace quarnel::backup {

struct ItemContext {
  app::MainState &state;
  // Processes pending window events; BackupMails calls it after every file it
  // adds.
  std::function<void()> pumpEvents;
  // ItemTempFiles: each registry item's export file, by item index, from its
  // backup until the job deletes it once the archive has been written.
  std::array<std::string, app::kItemCount> tempFiles;
};

}  // namespace quarnel::backup
