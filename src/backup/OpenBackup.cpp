// Opening a backup file on the restore page (cmdSourceFile): the file dialog, the password
// prompt for a protected file, the information file read and shown, the restore boxes of
// the items the backup holds enabled. The archive stays open for the restore job.
#include <new>
#include <optional>
#include <string>

#include "app/Jobs.h"
#include "app/Product.h"
#include "app/Settings.h"
#include "backup/InfoFile.h"
#include "backup/JobSupport.h"
#include "platform/Services.h"

namespace quarnel::app {

using platform::MessageButtons;
using platform::MessageIcon;

namespace {

// Opens the archive, asking for its password when it has one; false when the password
// does not open it (the user has been told).
bool OpenArchive(MainState& state, MainView& view, const std::string& path) {
  archive::ZipArchive& zip = *state.Zip1;
  if (zip.IsArchiveProtected(path) != 1) {
    zip.OpenArchive(path);
    return true;
  }
  view.ShowModal(ModalWindow::Password);  // its OK leaves the typed text in RestorePassword
  zip.OpenArchive(path);
  zip.ReadPassword(state.RestorePassword);
  if (zip.CheckPassword() == 1) return true;
  platform::Messages().Show("Incorect Password or Invalid backup file", kApplicationTitle, MessageButtons::Ok,
                            MessageIcon::Information);
  return false;
}

// The backup's own information file, read from a fresh extraction only: one left from an
// earlier file must never describe this one. A crafted one describes nothing, and ends
// nothing: not even out of memory.
backup::BackupInfo ReadInformation(MainState& state) {
  platform::Files().RemoveFile(state.InfoFilePath);
  try {
    std::optional<archive::ArchiveEntry> entry = state.Zip1->FindEntry(backup::kInfoFileName);
    std::optional<backup::BackupInfo> info;
    if (entry) info = backup::ExtractBackupInfo(*entry, state.InfoFilePath);
    if (info) return *info;
  } catch (const std::bad_alloc&) {
  }
  platform::Files().RemoveFile(state.InfoFilePath);
  return {};
}

}  // namespace

void OpenBackupFile(MainState& state, MainView& view) {
  if (state.JobRunning) return;
  state.Zip1->CloseArchive();
  backup::ClearRestorePage(state, view);
  FileDialogSpec spec;
  spec.title = "Restore Data from a Backup file";
  spec.filter = "Quarnel Backup File(*.soe)|*.soe";
  std::optional<std::string> chosen = view.OpenFileDialog(spec);
  if (!chosen || chosen->empty()) return;
  if (!OpenArchive(state, view, *chosen)) return;

  view.SetText(Control::txtSourceFile, *chosen);
  state.BackupFilePath = *chosen;
  state.InfoFilePath = JoinPath(DataFolder(), backup::kInfoFileName);
  const backup::BackupInfo info = ReadInformation(state);
  view.SetText(Control::txtPOBinfo, "Computer:" + info.computer + "\r\nUser:" + info.logonUser +
                                        "\r\nIdentity:" + info.identity + "\r\nDate:" + info.time);
  view.SetText(Control::txtFileInfo, info.description);
  state.BackupItemFlags = info.itemFlags;
  if (info.itemFlags.size() != static_cast<std::size_t>(kItemCount)) {
    platform::Messages().Show("Invalid backup file", kApplicationTitle, MessageButtons::Ok, MessageIcon::Critical);
    state.NoValidBackupFile = true;
    return;
  }
  // From here every entry read must be as the backup recorded it.
  if (info.record) state.Zip1->ExpectEntries(*info.record);
  for (int i = 0; i < kItemCount; ++i) {
    bool held = info.itemFlags[i] == '1';
    view.SetItemEnabled(ItemSet::Restore, i, held);
    state.ItemEntryNames[i] = held ? info.entryNames[i] : std::string();
  }
  state.NoValidBackupFile = false;
}

}  // namespace quarnel::app
