#include "backup/UnattendedBackup.h"

#include "app/Jobs.h"
#include "backup/UnattendedCommandLine.h"

namespace quarnel::app {

int RunUnattendedBackup(MainState&, MainView&) {
  std::optional<backup::UnattendedOptions> options = backup::ParseUnattendedCommandLine(CommandLine());
  if (!options) return backup::kUnattendedUnusableCommand;
  return backup::kUnattendedNotCompleted;
}

}  // namespace quarnel::app
