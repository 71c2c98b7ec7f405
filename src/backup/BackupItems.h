#pragma once
// The eight backup items, each a backup and a restore operation. A backup
// operation adds the item's files to the archive being built (state.Zip1 after
// NewArchive) and records their entry names in the information file
// (state.InfoFilePath); a restore operation takes the entries named in
// state.ItemEntryNames out of the opened backup and puts them back. Each
// returns true for success and false on any failure; none shows anything.
#include <array>
#include <string>

#include "backup/ItemContext.h"

namespace quarnel::backup {

bool BackupAccounts(ItemContext &c, const std::string &strIdentity);
bool RestoreAccounts(ItemContext &c, const std::string &strIdentity);
bool BackupAddress(ItemContext &c);
bool RestoreAddress(ItemContext &c);
bool BackupRules(ItemContext &c, const std::string &strIdentity);
bool RestoreRules(ItemContext &c, const std::string &strIdentity);
bool BackupMails(ItemContext &c, const std::string &strIdentity);
bool RestoreMails(ItemContext &c, const std::string &strIdentity);
bool Backupblocksenders(ItemContext &c, const std::string &strIdentity);
bool RestoreBlocksenders(ItemContext &c, const std::string &strIdentity);
bool BackupSignatures(ItemContext &c, const std::string &strIdentity);
bool RestoreSignatures(ItemContext &c, const std::string &strIdentity);
bool BackupStationeries(ItemContext &c);
bool RestoreStationeries(ItemContext &c);
bool BackupSettings(ItemContext &c, const std::string &strIdentity);
bool RestoreSettings(ItemContext &c, const std::string &strIdentity);

// One row of the item table, in item index order (0 Accounts ... 7 Settings).
struct ItemOperations {
  const char *infoKey;  // the item's key in the information file
  bool needsIdentity;   // false for the address book and the stationery
  // The identity's sub-key name; the items without identity ignore it.
  bool (*backup)(ItemContext &c, const std::string &strIdentity);
  bool (*restore)(ItemContext &c, const std::string &strIdentity);
};

const std::array<ItemOperations, app::kItemCount> &Items();

}  // namespace quarnel::backup
