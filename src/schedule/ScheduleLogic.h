#pragma once
// Frmoption ("Task Scheduler"): registers the weekly task that starts the program
// unattended, and removes it. The Win32 dialog forwards its events here; everything done
// to the window goes through ScheduleView.
#include <string>
#include <vector>

#include "app/MainState.h"
#include "schedule/ScheduleView.h"
#include "schedule/TaskCommands.h"

namespace quarnel::schedule {

inline constexpr const char* kScheduleCaption = "Task Scheduler";

class ScheduleLogic {
 public:
  explicit ScheduleLogic(ScheduleView& view) : view_(view) {}

  void Opening();
  void IdentityChosen();     // a choice in cbSource
  void DailyClicked();       // chkDaily changed state
  void ProtectClicked();     // ifprotect changed state
  void BrowseClicked();      // cmdTargetFile
  void AddTaskClicked();     // Command3
  void DisableTaskClicked(); // Command1
  void CancelClicked();      // Command2, and closing by the frame

  const std::string& TargetFile() const { return targetFile_; }

 private:
  // The checks of Add task after the boxes are read; false once a message was shown.
  bool Validate(const TaskOptions& options);
  // Runs the end and delete commands; true when no task of the name is left.
  bool RemoveTask(std::string* failure);

  ScheduleView& view_;
  std::vector<app::Identity> identities_;
  std::string targetFile_;
};

}  // namespace quarnel::schedule
