#include "backup/UnattendedBackup.h"

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/MainArchiveListener.h"
#include "app/Settings.h"
#include "archive/ArchiveListener.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "backup/Leftovers.h"
#include "backup/UnattendedCommandLine.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"

namespace quarnel::app {
namespace {

// The unattended run's own log texts, items 0 to 7.
constexpr const char* kLogNames[kItemCount] = {
    " Backup Accounts",      " Backup Address Book", " Backup Rules",        " Backup Mails",
    " Backup Block Senders", " Backup Signatures",   " Backup Stationeries", " Backup Settings",
};

// The identity's sub-key name: that of the first identity with this display name, or the
// name itself when none has it.
std::string IdentityKeyFor(const MainState& state, const std::string& displayName) {
  for (const Identity& identity : state.Identities) {
    if (identity.displayName == displayName) return identity.keyName;
  }
  return displayName;
}

// Item i is chosen when its character is on by the flag rule; a missing one counts as on.
bool ItemChosen(const std::string& xm, int i) {
  return FlagEquals(static_cast<std::size_t>(i) < xm.size() ? xm.substr(static_cast<std::size_t>(i), 1) : "", 1);
}

void Log(const std::string& record) { AppendLog(LogFilePath(), record); }

}  // namespace

int RunUnattendedBackup(MainState& state, MainView& view) {
  std::optional<backup::UnattendedOptions> options = backup::ParseUnattendedCommandLine(CommandLine());
  if (!options) return backup::kUnattendedUnusableCommand;

  // Nobody watches a scheduled run: should anything below ask, it must not wait for an
  // answer that never comes.
  platform::RecordingMessages nobody;
  platform::ScopedServices quiet({.messages = &nobody});
  PumpingArchiveListener listener(view);
  state.Zip1->SetListener(&listener);
  struct RestoreListener {
    MainState& state;
    ~RestoreListener() { state.Zip1->SetListener(nullptr); }
  } restoreListener{state};

  // The file named bf is never deleted here: it is replaced only by a complete new
  // backup of the same name, and a dated backup leaves it alone.
  state.TargetPath = options->bf;
  if (FlagEquals(ReadINI(SettingsFilePath(), "autobackup", "autobackupfile"), 1)) {
    state.TargetPath = backup::DatedBackupPath(options->bf, platform::System().Now());
  }
  const backup::JobMark mark(state.TargetPath, IdentityKeyFor(state, options->sf));
  view.PumpEvents();

  backup::InfoHeader header;
  header.withOrigin = false;
  header.identity = options->sf;
  header.time = platform::System().GeneralDate(platform::System().Now());
  header.description = "Auto Backup";
  bool described = backup::BeginInfoFile(state.InfoFilePath, header);

  Log(LogSeparator());
  Log(LogEvent(" Auto Start Backup Profile " + options->sf + " Data..."));
  Log(LogEvent(" Backup File is " + state.TargetPath));

  archive::ArchiveWritten() = 0;
  state.Zip1->NewArchive(state.TargetPath);
  backup::ItemContext context{state, [&view] { view.PumpEvents(); }, {}};
  const std::string identity = IdentityKeyFor(state, options->sf);
  std::string flags;
  bool allItems = true;
  for (int i = 0; i < kItemCount; ++i) {
    if (!ItemChosen(options->xm, i)) {
      flags += '0';
      continue;
    }
    const backup::ItemOperations& item = backup::Items()[static_cast<std::size_t>(i)];
    bool done = item.backup(context, identity);
    flags += done ? '1' : '0';
    allItems = allItems && done;
    Log(LogEvent(std::string(kLogNames[i]) + (done ? " Succeeded!" : " Fail!")));
  }
  described = backup::FinishInfoFile(context, flags) && described;

  if (options->ps.empty()) {
    state.Zip1->EncryptionMode(0);
  } else {
    state.Zip1->ArchivePassword(options->ps);
    state.Zip1->EncryptionMode(1);
  }
  state.Zip1->VerifyAfterWrite(SettingOn("General", "checkbackupfile"));
  // A backup that cannot describe itself cannot be restored: it must not replace the
  // previous one.
  const bool written = described && state.Zip1->WriteArchive();
  state.Zip1->CloseArchive();

  if (!written) {
    Log(LogReason(described ? state.Zip1->LastError()
                            : "Cannot write the information file \"" + state.InfoFilePath + "\""));
  }
  Log(LogClosingEvent(" Backup Profile " + options->sf + (written ? " Data was Completed!" : " Data was not Completed!")));
  backup::DeleteJobFiles(context);

  if (!written) return backup::kUnattendedNotCompleted;
  return allItems ? backup::kUnattendedCompleted : backup::kUnattendedItemsFailed;
}

}  // namespace quarnel::app
