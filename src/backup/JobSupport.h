#pragma once
// What the jobs share beyond the items: the guard that keeps a second job out while one
// runs, and small readers of the window's state.
#include <optional>
#include <string>

#include "app/MainState.h"
#include "app/MainView.h"

namespace quarnel::backup {

// Marks a job as running for its lifetime. While one runs, the main window ignores the job
// commands, and a job started from inside another one's events (they pump window messages)
// finds the mark and does nothing: two jobs on one zip component would spoil its archive.
class RunningJob {
 public:
  explicit RunningJob(app::MainState& state) : state_(state), entered_(!state.JobRunning) { state_.JobRunning = true; }
  ~RunningJob() {
    if (entered_) state_.JobRunning = false;
  }
  RunningJob(const RunningJob&) = delete;
  RunningJob& operator=(const RunningJob&) = delete;
  // False when another job was running already.
  explicit operator bool() const { return entered_; }

 private:
  app::MainState& state_;
  bool entered_;
};

// One item's row in a job's table.
struct ItemStep {
  const char* status;   // Label1 while the item runs
  const char* caption;  // in the summary, before a TAB and "Successed!" or "Fail!"
  const char* log;      // in the log, before "Succeeded!" or "Fail!" (the backup adds a blank)
  int progress;         // added to pbshow after the item, whether it ran or not
};

// Empties the restore page (boxes cleared and disabled, file, origin and description) and
// forgets the backup file: what opening a file and every backup begin with.
void ClearRestorePage(app::MainState& state, app::MainView& view);

// The text of a combo box's chosen entry, "" when none is chosen.
std::string ChosenText(const app::MainView& view, app::Control combo);
// The identity sub-key name at a list position; nothing when the position names none.
std::optional<std::string> IdentityAt(const app::MainState& state, int index);
// The current local date and time in the general date form.
std::string Now();

// The progress panel over the page while a job works, and its reset afterwards.
void ShowProgressPanel(app::MainView& view);
void AddProgress(app::MainView& view, int step);
void HideProgressPanel(app::MainView& view);

}  // namespace quarnel::backup
