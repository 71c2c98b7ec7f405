#include "schedule/ScheduleLogic.h"

#include <array>

#include "app/Product.h"
#include "app/Settings.h"
#include "mailclient/Identities.h"
#include "platform/Services.h"

namespace quarnel::schedule {

using platform::FinishedRun;
using platform::MessageButtons;
using platform::MessageIcon;
using C = ScheduleControl;

namespace {

void Tell(const std::string& text, MessageIcon icon) {
  platform::Messages().Show(text, app::kApplicationTitle, MessageButtons::Ok, icon);
}

// The unattended run splits its command line at "=", the task's command is quoted, and the
// Task Scheduler replaces %NAME% by the variable's value when it starts the task: a value
// with any of them would reach the run as something else (a password "a%OS%b" as
// "aWindows_NTb"). The command line has no escape for any of them.
bool BreaksTheCommandLine(const std::string& value) { return value.find_first_of("=\"%") != std::string::npos; }

// What the tool said about a failed run, for the user.
std::string Explanation(const FinishedRun& run) {
  if (!run.started) return "The program schtasks could not be started.";
  std::string said = run.output;
  while (!said.empty() && (said.back() == '\r' || said.back() == '\n' || said.back() == ' ')) said.pop_back();
  if (!said.empty()) return said;
  return "schtasks ended with exit code " + std::to_string(run.exitCode) + " and printed nothing.";
}

bool Succeeded(const FinishedRun& run) { return run.started && run.exitCode == 0; }

}  // namespace

void ScheduleLogic::Opening() {
  view_.SetChecked(C::ifprotect, false);
  for (C field : {C::txtPassword, C::txtPassword2}) {
    view_.SetEnabled(field, false);
    view_.SetFieldColour(field, app::FieldColour::ScrollBar);
  }

  // Only blank-named identities is a set-up Outlook Express with nothing to list.
  bool outlookMissing = false;
  identities_ = mailclient::ListIdentities(&outlookMissing);
  if (outlookMissing) {
    Tell("Your Windows System have not install Outlook Express ", MessageIcon::Critical);
    view_.SetEnabled(C::Command3, false);
    return;
  }
  view_.ClearList(C::cbSource);
  for (const app::Identity& identity : identities_) view_.AddListItem(C::cbSource, identity.displayName);
  if (!identities_.empty()) {
    view_.SetListIndex(C::cbSource, 0);
    IdentityChosen();
  }

  view_.ClearList(C::cmbStartTime);
  for (int hour = 0; hour < 24; ++hour) {
    view_.AddListItem(C::cmbStartTime, std::to_string(hour) + ":00");
    view_.AddListItem(C::cmbStartTime, std::to_string(hour) + ":30");
  }
  view_.SetText(C::cmbStartTime, "9:00");
}

void ScheduleLogic::IdentityChosen() {
  int index = view_.ListIndex(C::cbSource);
  if (index < 0 || index >= static_cast<int>(identities_.size())) return;
  const app::Identity& identity = identities_[static_cast<std::size_t>(index)];
  const std::array<bool, app::kItemCount> available = mailclient::AvailableItems(identity.keyName);
  for (int i = 0; i < app::kItemCount; ++i) {
    view_.SetItemEnabled(i, available[static_cast<std::size_t>(i)]);
    view_.SetItemChecked(i, false);
  }
  targetFile_ = app::JoinPath(app::ResolveBackupFolder(), "outbackup-" + identity.displayName + ".soe");
  view_.SetText(C::txtTargetFile, targetFile_);
}

void ScheduleLogic::DailyClicked() {
  bool on = view_.Checked(C::chkDaily);
  for (C day : kDayBoxes) view_.SetChecked(day, on);
}

void ScheduleLogic::ProtectClicked() {
  bool on = view_.Checked(C::ifprotect);
  for (C field : {C::txtPassword, C::txtPassword2}) {
    view_.SetEnabled(field, on);
    view_.SetFieldColour(field, on ? app::FieldColour::Window : app::FieldColour::ScrollBar);
    view_.SetText(field, "");
  }
}

void ScheduleLogic::BrowseClicked() {
  app::FileDialogSpec spec;
  spec.title = "Save Outlook Express Data as";
  spec.filter = "Quarnel Backup File (*.soe)|*.soe";
  spec.initialFolder = app::ResolveBackupFolder();
  spec.fileName = "quarnel-" + view_.Text(C::cbSource) + "-" + mailclient::FileDate();
  std::optional<std::string> chosen = view_.SaveFileDialog(spec);
  if (!chosen) return;
  targetFile_ = *chosen;
  view_.SetText(C::txtTargetFile, targetFile_);
}

bool ScheduleLogic::Validate(const TaskOptions& options) {
  if (options.items == std::string(app::kItemCount, '0')) {
    Tell("Please select at least one item.", MessageIcon::Exclamation);
    return false;
  }
  if (targetFile_.empty()) {
    Tell("Invalid backup file name.", MessageIcon::Exclamation);
    return false;
  }
  if (view_.Checked(C::ifprotect)) {
    std::string password = view_.Text(C::txtPassword), retyped = view_.Text(C::txtPassword2);
    if (password.empty() && retyped.empty()) {
      Tell("Please enter Password!", MessageIcon::Critical);
      return false;
    }
    if (password != retyped) {
      Tell("Incorect Password!", MessageIcon::Critical);
      return false;
    }
  }
  const char* const kCarry = " cannot be used in a scheduled task: it contains \"=\", \"%\" or a double quote (\"). ";
  if (options.userName.empty()) {
    Tell("The chosen identity has no name, so a scheduled backup could not find it. Please give the identity a name "
         "in Outlook Express.",
         MessageIcon::Exclamation);
    return false;
  }
  if (BreaksTheCommandLine(options.userName)) {
    Tell(std::string("The identity name") + kCarry + "Please rename the identity in Outlook Express.",
         MessageIcon::Exclamation);
    return false;
  }
  if (BreaksTheCommandLine(options.password)) {
    Tell(std::string("The password") + kCarry + "Please choose another password.", MessageIcon::Exclamation);
    return false;
  }
  if (BreaksTheCommandLine(options.targetFile)) {
    Tell(std::string("The backup file name") + kCarry + "Please choose another file.", MessageIcon::Exclamation);
    return false;
  }
  return true;
}

void ScheduleLogic::AddTaskClicked() {
  TaskOptions options;
  for (int i = 0; i < app::kItemCount; ++i) options.items += view_.ItemChecked(i) ? '1' : '0';
  options.userName = view_.Text(C::cbSource);
  options.password = view_.Checked(C::ifprotect) ? view_.Text(C::txtPassword) : std::string();
  options.targetFile = targetFile_;
  if (!Validate(options)) return;

  std::array<bool, 7> days{};
  for (std::size_t i = 0; i < days.size(); ++i) days[i] = view_.Checked(kDayBoxes[i]);

  // One after another, each waited for: the creation relies on the removal being done.
  view_.SetWaitCursor(true);
  platform::Procs().RunHidden(EndTaskCommand());
  platform::Procs().RunHidden(DeleteTaskCommand());
  FinishedRun created = platform::Procs().RunHidden(
      CreateTaskCommand(DayList(days), StartTimeText(view_.Text(C::cmbStartTime)), options));
  view_.SetWaitCursor(false);

  if (!Succeeded(created)) {
    Tell(std::string("Task ") + kTaskName + " could not be scheduled.\r\n\r\n" + Explanation(created),
         MessageIcon::Critical);
    return;
  }
  Tell(std::string("Task ") + kTaskName + " has been scheduled.", MessageIcon::Information);
  view_.Close();
}

bool ScheduleLogic::RemoveTask(std::string* failure) {
  platform::Procs().RunHidden(EndTaskCommand());
  FinishedRun deleted = platform::Procs().RunHidden(DeleteTaskCommand());
  if (Succeeded(deleted)) return true;
  if (!deleted.started) {
    *failure = Explanation(deleted);
    return false;
  }
  // The tool also fails when there was no task to delete, which is no failure here.
  FinishedRun listed = platform::Procs().RunHidden(QueryTasksCommand());
  if (Succeeded(listed) && TaskListed(listed.output)) {
    *failure = Explanation(deleted);
    return false;
  }
  return true;
}

void ScheduleLogic::DisableTaskClicked() {
  view_.SetWaitCursor(true);
  std::string failure;
  bool removed = RemoveTask(&failure);
  view_.SetWaitCursor(false);
  if (removed) {
    Tell(std::string("Task ") + kTaskName + " has been Delete.", MessageIcon::Information);
  } else {
    Tell(std::string("Task ") + kTaskName + " could not be deleted.\r\n\r\n" + failure, MessageIcon::Critical);
  }
}

void ScheduleLogic::CancelClicked() { view_.Close(); }

}  // namespace quarnel::schedule
