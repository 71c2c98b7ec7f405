#include "backup/BackupItems.h"

namespace quarnel::backup {

namespace {

bool BackupAddressItem(ItemContext &c, const std::string &) { return BackupAddress(c); }
bool RestoreAddressItem(ItemContext &c, const std::string &) { return RestoreAddress(c); }
bool BackupStationeryItem(ItemContext &c, const std::string &) { return BackupStationeries(c); }
bool RestoreStationeryItem(ItemContext &c, const std::string &) { return RestoreStationeries(c); }

}  // namespace

const std::array<ItemOperations, app::kItemCount> &Items() {
  static const std::array<ItemOperations, app::kItemCount> items = {{
      {"BackupAccounts", true, BackupAccounts, RestoreAccounts},
      {"BackupAddressBook", false, BackupAddressItem, RestoreAddressItem},
      {"BackupRules", true, BackupRules, RestoreRules},
      {"BackupMails", true, BackupMails, RestoreMails},
      {"BackupBlocksenders", true, Backupblocksenders, RestoreBlocksenders},
      {"BackupSignatures", true, BackupSignatures, RestoreSignatures},
      {"BackupStationeries", false, BackupStationeryItem, RestoreStationeryItem},
      {"BackupSettings", true, BackupSettings, RestoreSettings},
  }};
  return items;
}

}  // namespace quarnel::backup
