// The restore job: the chosen items of the opened backup put back into the identity chosen
// on the restore page.
#include <array>
#include <optional>
#include <string>

#include "app/Jobs.h"
#include "app/Log.h"
#include "app/Product.h"
#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "backup/ItemSupport.h"
#include "backup/JobSupport.h"
#include "backup/Leftovers.h"
#include "mailclient/Locations.h"
#include "mailclient/MailClient.h"
#include "platform/Services.h"

namespace quarnel::app {

using platform::MessageButtons;
using platform::MessageIcon;

namespace {

constexpr std::array<backup::ItemStep, kItemCount> kRestoreSteps = {{
    {"Copying Accounts...", "Restore Accounts", " Restore Accounts ", 10},
    {"Copying Adress Book...", "Restore Adress Book", " Restore Adress Book ", 10},
    {"Copying Rules...", "Restore Rules", " Restore Rules ", 15},
    {"Copying Messages...", "Restore Messages", " Restore Messages ", 10},
    {"Copying Block Senders...", "Restore Block Senders", " Restore Block Senders ", 15},
    {"Copying Signatures...", "Restore Signatures", " Restore Signatures ", 15},
    {"Copying Stationeries...", "Restore Stationeries", " Restore Stationeries ", 10},
    {"Copying Settings...", "Restore Settings", " Restore Settings ", 0},
}};

// With a record of what the backup was made of, every entry the chosen items take is read
// and checked against it before the first item replaces anything: an altered backup
// changes nothing at all, not even the items it left alone.
bool ChosenEntriesIntact(backup::ItemContext& context, const std::array<bool, kItemCount>& chosen,
                         const std::string& flags) {
  if (!context.state.Zip1->ExpectsEntries()) return true;
  return backup::detail::Trapped([&] {
    for (int i = 0; i < kItemCount; ++i) {
      if (!chosen[i] || i >= static_cast<int>(flags.size()) || flags[i] != '1') continue;
      const bool list = i == mailclient::kItemMails || i == mailclient::kItemStationeries;
      std::optional<std::vector<archive::ArchiveEntry>> entries = backup::detail::RecordedEntries(context, i, list);
      if (!entries) return false;
      for (const archive::ArchiveEntry& entry : *entries) {
        if (!entry.Check()) return false;
      }
    }
    return true;
  });
}

}  // namespace

void RunRestoreJob(MainState& state, MainView& view) {
  backup::RunningJob running(state);
  if (!running) return;
  if (state.NoValidBackupFile) {
    platform::Messages().Show("Invalid backup file.", kApplicationTitle, MessageButtons::Ok, MessageIcon::Critical);
    return;
  }
  // What the page says when the job starts; the page may change while the job pumps events.
  std::array<bool, kItemCount> chosen{};
  bool any = false;
  for (int i = 0; i < kItemCount; ++i) any = (chosen[i] = view.ItemChecked(ItemSet::Restore, i)) || any;
  if (!any) {
    platform::Messages().Show("Please select at least one item.", kApplicationTitle, MessageButtons::Ok,
                              MessageIcon::Exclamation);
    return;
  }
  const std::string target = backup::ChosenText(view, Control::cbTarget);
  const std::optional<std::string> identity = backup::IdentityAt(state, view.ListIndex(Control::cbTarget));
  const std::string flags = state.BackupItemFlags;
  backup::ItemContext context{state, [&view] { view.PumpEvents(); }, {}};
  view.SetWaitCursor(true);
  const bool intact = ChosenEntriesIntact(context, chosen, flags);
  view.SetWaitCursor(false);
  if (!intact) {
    platform::Messages().Show("Invalid backup file.", kApplicationTitle, MessageButtons::Ok, MessageIcon::Critical);
    return;
  }
  const backup::JobMark mark("", identity);

  AppendLog(LogFilePath(), LogSeparator());
  AppendLog(LogFilePath(), LogEvent(" Start Retore Data to Profile " + target));
  AppendLog(LogFilePath(), LogEvent(" Restore File is " + state.BackupFilePath));
  view.SetWaitCursor(true);
  backup::ShowProgressPanel(view);
  backup::AddProgress(view, 5);

  std::string summary;
  for (int i = 0; i < kItemCount; ++i) {
    const backup::ItemStep& step = kRestoreSteps[i];
    if (chosen[i] && i < static_cast<int>(flags.size()) && flags[i] == '1') {
      view.SetText(Control::Label1, step.status);
      const backup::ItemOperations& item = backup::Items()[i];
      // Without an identity to restore into, the identity's items cannot run.
      bool done = (!item.needsIdentity || identity) && item.restore(context, identity.value_or(""));
      summary += std::string("\r\n") + step.caption + "\t" + (done ? "Successed!" : "Fail!");
      AppendLog(LogFilePath(), LogEvent(std::string(step.log) + (done ? "Succeeded!" : "Fail!")));
    }
    backup::AddProgress(view, step.progress);
  }

  view.SetWaitCursor(false);
  backup::HideProgressPanel(view);
  AppendLog(LogFilePath(), LogClosingEvent(" Restore Data to Profile " + target + " was Completed!"));
  platform::Messages().Show("The Restore was Completed!\r\n" + summary, kApplicationTitle, MessageButtons::Ok,
                            MessageIcon::Information);
  if (SettingOn("General", "runoutlookafterrestore")) mailclient::StartMailClient();
}

}  // namespace quarnel::app
