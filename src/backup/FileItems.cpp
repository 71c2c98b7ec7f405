// The items whose files go into the archive as they are: the address book, the
// mail folders of the identity's message store and the shared stationery.
#include <optional>

#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "backup/ItemSupport.h"
#include "backup/StagedRestore.h"
#include "mailclient/Locations.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::backup {

using detail::Trapped;
using platform::Files;

namespace {

bool IsMailFolderFile(const std::string &name) {
  return name.size() >= 4 && platform::UpperAnsi(name.substr(name.size() - 4)) == ".DBX";
}

// Adds the folder's files that `take` accepts, in listing order, and records
// their names as a ";"-list; false, with nothing recorded, when there was none.
template <typename Take>
bool BackupFolder(ItemContext &c, int item, const std::string &folder, Take take, bool pump) {
  std::string list;
  int taken = 0;
  for (const std::string &name : Files().ListFiles(folder)) {
    if (name.empty() || !take(name)) continue;
    if (taken++ > 0) list += ';';
    list += name;
    c.state.Zip1->AppendPath(app::JoinPath(folder, name));
    if (pump && c.pumpEvents) c.pumpEvents();
  }
  if (taken == 0) return false;
  detail::RecordEntries(c, item, list);
  return true;
}

std::optional<std::string> IdentityStoreFolder(const std::string &identity) {
  std::optional<std::string> version = mailclient::VersionKey(identity);
  if (!version) return std::nullopt;
  return mailclient::StoreFolder(*version);
}

}  // namespace

bool BackupAddress(ItemContext &c) {
  return Trapped([&] {
    std::optional<std::string> book = mailclient::AddressBookFile();
    if (!book) return false;
    c.state.Zip1->AppendPath(*book);
    detail::RecordEntries(c, mailclient::kItemAddressBook, detail::BaseName(*book));
    return true;
  });
}

// The saved book always ends up under the name the address book key gives
// today, and it replaces the current book in one step once it is complete: the
// current book is never deleted first, and a file that merely has the recorded
// name is left alone.
bool RestoreAddress(ItemContext &c) {
  return Trapped([&] {
    std::optional<std::string> book = mailclient::AddressBookFile();
    if (!book) return false;
    auto entries = detail::RecordedEntries(c, mailclient::kItemAddressBook, false);
    return entries && entries->front().ExtractToFile(*book);
  });
}

bool BackupMails(ItemContext &c, const std::string &strIdentity) {
  return Trapped([&] {
    std::optional<std::string> store = IdentityStoreFolder(strIdentity);
    return store && BackupFolder(c, mailclient::kItemMails, *store, IsMailFolderFile, true);
  });
}

bool RestoreMails(ItemContext &c, const std::string &strIdentity) {
  return Trapped([&] {
    std::optional<std::string> store = IdentityStoreFolder(strIdentity);
    if (!store) return false;
    auto entries = detail::RecordedEntries(c, mailclient::kItemMails, true);
    return entries && RestoreFilesAllOrNothing(*entries, *store);
  });
}

bool BackupStationeries(ItemContext &c) {
  return Trapped([&] {
    std::optional<std::string> folder = mailclient::FindStationeryFolder();
    auto any = [](const std::string &) { return true; };
    return folder && BackupFolder(c, mailclient::kItemStationeries, *folder, any, false);
  });
}

bool RestoreStationeries(ItemContext &c) {
  return Trapped([&] {
    std::optional<std::string> folder = mailclient::FindStationeryFolder();
    if (!folder) return false;
    auto entries = detail::RecordedEntries(c, mailclient::kItemStationeries, true);
    if (!entries) return false;
    if (!Files().FolderExists(*folder)) Files().CreateFolder(*folder);
    return RestoreFilesAllOrNothing(*entries, *folder);
  });
}

}  // namespace quarnel::backup
