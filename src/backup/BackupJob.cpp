// The backup job of the backup page and of File > Backup Now, and the target file dialog.
#include <array>
#include <optional>
#include <string>

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/Product.h"
#include "app/Settings.h"
#include "archive/ArchiveListener.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "backup/JobSupport.h"
#include "backup/Leftovers.h"
#include "mailclient/Identities.h"
#include "mailclient/MailClient.h"
#include "platform/Services.h"

namespace quarnel::app {

using backup::ItemContext;
using platform::MessageButtons;
using platform::MessageIcon;

namespace {

constexpr std::array<backup::ItemStep, kItemCount> kBackupSteps = {{
    {"Copying Accounts...", "Backup Accounts", " Backup Accounts", 20},
    {"Copying Address Book...", "Backup Adress Book", " Backup Adress Book", 10},
    {"Copying Rules...", "Backup Rules", " Backup Rules", 10},
    {"Copying Messages...", "Backup Messages", " Backup Messages", 5},
    {"Copying Block Senders...", "Backup Block Senders", " Backup Block Senders", 5},
    {"Copying Signatures...", "Backup Signatures", " Backup Signatures", 5},
    {"Copying Stationeries...", "Backup Stationeries", " Backup Stationeries", 15},
    {"Copying Settings...", "Backup Settings", " Backup Settings", 0},
}};

// What the job takes from the window when it starts; later changes to the page (its events
// are pumped while the job runs) do not reach a running job.
struct BackupRequest {
  std::string identityName;
  std::optional<std::string> identity;  // sub-key name; none when no identity is chosen
  std::array<bool, kItemCount> items{};
  bool protect = false;
  std::string password, password2;
  std::string description;
  std::string target;
};

BackupRequest ReadRequest(const MainState& state, const MainView& view) {
  BackupRequest request;
  request.identityName = backup::ChosenText(view, Control::cbSource);
  request.identity = backup::IdentityAt(state, view.ListIndex(Control::cbSource));
  for (int i = 0; i < kItemCount; ++i) request.items[i] = view.ItemChecked(ItemSet::Backup, i);
  request.protect = view.Checked(Control::ifprotect);
  request.password = view.Text(Control::txtPassword);
  request.password2 = view.Text(Control::txtPassword2);
  request.description = view.Text(Control::txtAttachInfo);
  request.target = state.TargetPath;
  return request;
}

void Warn(const char* text, MessageIcon icon) {
  platform::Messages().Show(text, kApplicationTitle, MessageButtons::Ok, icon);
}

// The checks that stop a backup before anything is touched; false after telling the user.
bool Validate(const BackupRequest& request) {
  if (request.target.empty()) {
    Warn("Invalid backup file name.", MessageIcon::Exclamation);
    return false;
  }
  bool any = false;
  for (bool ticked : request.items) any = any || ticked;
  if (!any) {
    Warn("Please select at least one item.", MessageIcon::Exclamation);
    return false;
  }
  if (request.protect && request.password.empty() && request.password2.empty()) {
    Warn("Please enter Password!", MessageIcon::Critical);
    return false;
  }
  if (request.protect && request.password != request.password2) {
    Warn("Incorect Password!", MessageIcon::Critical);
    return false;
  }
  return true;
}

// Runs the ticked items; gives the item flags and adds one summary line per ticked item.
std::string RunItems(ItemContext& context, const BackupRequest& request, MainView& view, std::string* summary) {
  std::string flags;
  for (int i = 0; i < kItemCount; ++i) {
    const backup::ItemStep& step = kBackupSteps[i];
    bool done = false;
    if (request.items[i]) {
      view.SetText(Control::Label1, step.status);
      const backup::ItemOperations& item = backup::Items()[i];
      // Without an identity the identity's items have nothing to back up.
      if (!item.needsIdentity || request.identity) done = item.backup(context, request.identity.value_or(""));
      *summary += std::string("\r\n") + step.caption + "\t" + (done ? "Successed!" : "Fail!");
      AppendLog(LogFilePath(), LogEvent(std::string(step.log) + (done ? " Succeeded!" : " Fail!")));
    }
    flags += done ? '1' : '0';
    backup::AddProgress(view, step.progress);
  }
  return flags;
}

// Why a backup that ran could not be completed: the line and the reason of its message.
struct Failure {
  const char* what;
  std::string reason;
};

// Writes the archive (checked before it replaces an older file when the settings ask);
// nothing when it is complete and in place.
std::optional<Failure> WriteArchive(MainState& state, MainView& view, const BackupRequest& request, bool infoWritten) {
  archive::ZipArchive& zip = *state.Zip1;
  // An archive without its information file cannot be restored; the older backup is kept.
  if (!infoWritten) {
    return Failure{"The backup file could not be written:",
                   "Cannot write the information file \"" + state.InfoFilePath + "\""};
  }
  if (request.protect) {
    zip.ArchivePassword(state.BackupPassword);
    zip.EncryptionMode(1);
  } else {
    zip.EncryptionMode(0);
  }
  // Read back in full before it replaces the previous backup: a file that fails never does.
  zip.VerifyAfterWrite(SettingOn("General", "checkbackupfile"));
  bool written = zip.WriteArchive();
  view.PumpEvents();
  if (written) return std::nullopt;
  const std::string& reason = zip.LastError();
  const bool unverified = reason.rfind("Verification failed", 0) == 0;
  return Failure{unverified ? "The backup file could not be verified:" : "The backup file could not be written:", reason};
}

void RunAfterActions(MainState& state, MainView& view) {
  if (SettingOn("General", "burndvd")) {
    std::size_t cut = state.TargetPath.rfind('\\');
    state.DiscWriterHandOver = {cut == std::string::npos ? state.TargetPath : state.TargetPath.substr(cut + 1),
                                state.TargetPath};
    view.ShowModal(ModalWindow::DiscWriter);
  }
  if (SettingOn("General", "runoutlookafterbackup")) mailclient::StartMailClient();
  if (SettingOn("backup", "openfolderbackup")) {
    platform::Procs().Start("explorer /n," + state.TargetPath.substr(0, state.TargetPath.rfind('\\') + 1),
                            platform::WindowState::Normal);
  }
}

}  // namespace

void RunBackupJob(MainState& state, MainView& view) {
  backup::RunningJob running(state);
  if (!running) return;
  // A backup always makes the user open the backup file to restore from again: the archive
  // it came from is closed here.
  state.Zip1->CloseArchive();
  backup::ClearRestorePage(state, view);
  state.NoValidBackupFile = true;
  const BackupRequest request = ReadRequest(state, view);
  if (!Validate(request)) return;
  const backup::JobMark mark(request.target, request.identity);

  view.SetWaitCursor(true);
  if (SettingOn("backup", "autocloseoutlook")) mailclient::EndMailClient();
  state.BackupPassword = request.password;
  backup::ShowProgressPanel(view);

  ItemContext context{state, [&view] { view.PumpEvents(); }, {}};
  bool infoWritten = backup::BeginInfoFile(
      state.InfoFilePath,
      {true, state.ComputerName, state.LogonUser, request.identityName, backup::Now(), request.description});
  backup::AddProgress(view, 10);
  AppendLog(LogFilePath(), LogSeparator());
  AppendLog(LogFilePath(), LogEvent(" Start Backup Profile " + request.identityName + " Data..."));
  AppendLog(LogFilePath(), LogEvent(" Backup File is " + request.target));

  archive::ArchiveWritten() = 0;
  state.Zip1->NewArchive(request.target);
  std::string summary;
  const std::string flags = RunItems(context, request, view, &summary);
  infoWritten = backup::FinishInfoFile(context, flags) && infoWritten;
  std::optional<Failure> failure = WriteArchive(state, view, request, infoWritten);
  state.Zip1->CloseArchive();
  backup::DeleteJobFiles(context);

  archive::ArchiveWritten() = 0;
  view.SetText(Control::SkinLabel11, "");
  view.SetText(Control::SkinLabel12, "");
  view.SetWaitCursor(false);
  backup::HideProgressPanel(view);

  if (failure) {
    AppendLog(LogFilePath(), LogClosingEvent(" Backup Profile " + request.identityName + " Data was not Completed!"));
    platform::Messages().Show("The Backup was not Completed!\r\n\r\n" + std::string(failure->what) + "\r\n" +
                                  request.target + "\r\n\r\n" + failure->reason,
                              kApplicationTitle, MessageButtons::Ok, MessageIcon::Critical);
    return;
  }
  AppendLog(LogFilePath(), LogClosingEvent(" Backup Profile " + request.identityName + " Data was Completed!"));
  platform::Messages().Show("The Backup was Completed!\r\n" + summary, kApplicationTitle, MessageButtons::Ok,
                            MessageIcon::Information);
  RunAfterActions(state, view);
}

void ChooseTargetFile(MainState& state, MainView& view) {
  if (state.JobRunning) return;
  std::string folder = ReadINI(SettingsFilePath(), "backup", "backupfolder");
  FileDialogSpec spec;
  spec.title = "Save Outlook Express Data as";
  spec.filter = "Quarnel Backup File (*.soe)|*.soe";
  spec.defaultExtension = "soe";
  spec.initialFolder = folder.empty() ? DataFolder() : folder;
  spec.fileName = "quarnel-" + backup::ChosenText(view, Control::cbSource) + "-" + mailclient::FileDate();
  std::optional<std::string> chosen = view.SaveFileDialog(spec);
  if (!chosen) return;
  view.SetText(Control::txtTargetFile, *chosen);
  state.TargetPath = *chosen;
}

}  // namespace quarnel::app
