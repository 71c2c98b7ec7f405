// The jobs that arrive later; until then their commands do nothing.
#include "app/Jobs.h"

namespace quarnel::app {

void RunBackupJob(MainState&, MainView&) {}
void RunRestoreJob(MainState&, MainView&) {}
void ChooseTargetFile(MainState&, MainView&) {}
void OpenBackupFile(MainState&, MainView&) {}

}  // namespace quarnel::app
