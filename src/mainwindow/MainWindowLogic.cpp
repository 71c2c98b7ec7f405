#include "mainwindow/MainWindowLogic.h"

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/MachineFacts.h"
#include "app/ScheduledRuns.h"
#include "app/Settings.h"
#include "exportui/ExportLogic.h"
#include "mailclient/Identities.h"
#include "platform/Services.h"

namespace quarnel::app {

using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageResult;

namespace {

constexpr const char* kApplyCaptions[] = {"Backup Now", "Restore Now", "Show Log File", "Help"};

// What must wait while a backup or restore runs: another job on the same zip component,
// a file choice that closes its archive, the disc writer on a half-written file, and the
// end of the window the job reports to.
bool IsJobCommand(Command command) {
  switch (command) {
    case Command::Backup:
    case Command::Restore:
    case Command::ExportMail:
    case Command::Apply:
    case Command::TargetFile:
    case Command::SourceFile:
    case Command::Quit:
    case Command::BackupToDisc: return true;
    default: return false;
  }
}

}  // namespace

void MainWindowLogic::Load() {
  view_.SetText(Control::frmMain, kWindowCaption);
  view_.SetVisible(Control::picCon3, false);
  view_.SetProgressRange(0, 100);
  view_.SetProgress(0);
  state_.Zip1->SetListener(&zipListener_);
  state_.Zip1->BaseFolder(DataFolder());
  state_.InfoFilePath = JoinPath(DataFolder(), "quarnel.dat");
  GatherMachineFacts(state_);

  state_.NoIdentities = false;
  state_.NoValidBackupFile = true;
  mailclient::BuildIdentityList(state_);
  if (state_.NoIdentities) {
    // An unattended run has nobody to answer a box: it would wait for ever, hidden.
    if (CommandLine().empty()) {
      platform::Messages().Show("Your Windows System have not install Outlook Express ", kApplicationTitle,
                                MessageButtons::Ok, MessageIcon::Critical);
    }
    view_.SetEnabled(Control::cmdApply, false);
    return;
  }
  view_.ClearList(Control::cbSource);
  view_.ClearList(Control::cbTarget);
  for (const Identity& identity : state_.Identities) {
    view_.AddListItem(Control::cbSource, identity.displayName);
    view_.AddListItem(Control::cbTarget, identity.displayName);
  }
  if (!state_.Identities.empty()) {
    view_.SetListIndex(Control::cbSource, 0);
    view_.SetListIndex(Control::cbTarget, 0);
    SourceChosen();
    TargetChosen();
  }
}

void MainWindowLogic::Activated() {
  if (CommandLine().empty()) {
    if (!failuresTold_) {
      failuresTold_ = true;
      TellFailedScheduledRuns();
    }
    return;
  }
  if (unattendedStarted_) return;
  unattendedStarted_ = true;
  view_.HideWindow();
  const std::uint64_t logSizeBefore = LogSize();
  ExitCode() = RunUnattendedBackup(state_, view_);
  ReportScheduledRun(ExitCode(), logSizeBefore);
  Run(Command::Quit);
}

void MainWindowLogic::PageShown(Page page) {
  view_.SetText(Control::cmdApply, kApplyCaptions[static_cast<int>(page)]);
  view_.Redraw(Control::cmdApply);
  if (page == Page::Logs) FillLogPage(view_);
  if (page == Page::About) view_.SetText(Control::lblAboutTitle, view_.Text(Control::frmMain));
}

void MainWindowLogic::Apply() {
  switch (view_.CurrentPage()) {
    case Page::Backup:
      RunBackupJob(state_, view_);
      break;
    case Page::Restore:
      if (platform::Messages().Show("Your current Email and News messages will be replaced with the messages from "
                                    "the selected backup file.\r\n\r\nDo you want to countinue?",
                                    kApplicationTitle, MessageButtons::OkCancel,
                                    MessageIcon::Information) == MessageResult::Ok) {
        RunRestoreJob(state_, view_);
      }
      break;
    case Page::Logs:
      ShowLogFile();
      break;
    case Page::About:
      Run(Command::Help);
      break;
  }
}

void MainWindowLogic::SetAllItems(ItemSet set, bool checked) {
  for (int i = 0; i < kItemCount; ++i) view_.SetItemChecked(set, i, checked);
}

void MainWindowLogic::Run(Command command) {
  if (state_.JobRunning && IsJobCommand(command)) return;
  switch (command) {
    case Command::Backup: RunBackupJob(state_, view_); break;
    case Command::Restore: RunRestoreJob(state_, view_); break;
    case Command::ExportMail: exportui::ExportMailFromMainWindow(state_, view_); break;
    case Command::Quit: view_.Quit(); break;
    case Command::TaskScheduler: view_.ShowModal(ModalWindow::TaskScheduler); break;
    case Command::Settings: view_.ShowModal(ModalWindow::Settings); break;
    case Command::CheckForUpdate: break;
    case Command::BackupToDisc: view_.ShowModal(ModalWindow::DiscWriter); break;
    case Command::Help:
      platform::Procs().Start(state_.WindowsFolder + "\\hh.exe " + JoinPath(ProgramFolder(), "help.chm"),
                              platform::WindowState::Normal);
      break;
    case Command::Website: platform::Procs().ShellOpen(kWebsite); break;
    case Command::About: view_.ShowModal(ModalWindow::About); break;
    case Command::Apply: Apply(); break;
    case Command::TargetFile: ChooseTargetFile(state_, view_); break;
    case Command::SourceFile: OpenBackupFile(state_, view_); break;
    case Command::SelectAllItems: SetAllItems(ItemSet::Backup, true); break;
    case Command::UnselectAllItems: SetAllItems(ItemSet::Backup, false); break;
    case Command::SelectAllItems2: SetAllItems(ItemSet::Restore, true); break;
    case Command::UnselectAllItems2: SetAllItems(ItemSet::Restore, false); break;
  }
}

void MainWindowLogic::ProtectClicked() {
  bool on = view_.Checked(Control::ifprotect);
  for (Control field : {Control::txtPassword, Control::txtPassword2}) {
    view_.SetEnabled(field, on);
    view_.SetFieldColour(field, on ? FieldColour::Window : FieldColour::ScrollBar);
    view_.SetText(field, "");
  }
}

void MainWindowLogic::SourceChosen() {
  int index = view_.ListIndex(Control::cbSource);
  if (index < 0 || index >= static_cast<int>(state_.Identities.size())) return;
  IdentityStep(state_, view_, index);
}

void MainWindowLogic::TargetChosen() { state_.RestoreTargetIndex = view_.ListIndex(Control::cbTarget); }

void IdentityStep(MainState& state, MainView& view, int index) {
  const Identity& identity = state.Identities.at(static_cast<std::size_t>(index));
  const std::array<bool, kItemCount> available = mailclient::AvailableItems(identity.keyName);
  for (int i = 0; i < kItemCount; ++i) {
    view.SetItemEnabled(ItemSet::Backup, i, available[static_cast<std::size_t>(i)]);
    view.SetItemChecked(ItemSet::Backup, i, false);
  }

  if (SettingOn("backup", "automgeneratefile")) {
    std::string name = "quarnel-" + identity.displayName + "-" + mailclient::FileDate() + ".soe";
    state.TargetPath = JoinPath(ResolveBackupFolder(), name);
    view.SetText(Control::txtTargetFile, state.TargetPath);
  }
}

}  // namespace quarnel::app
