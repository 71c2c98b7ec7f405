// The five registry items: a key tree exported to a text file that travels in
// the archive, and imported back from it into the same key of the identity
// restored to.
#include <optional>

#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "backup/ItemSupport.h"
#include "mailclient/Locations.h"
#include "platform/Services.h"
#include "registry/ModReg.h"
#include "registry/RegistryText.h"

namespace quarnel::backup {

using detail::Trapped;
using mailclient::ItemIndex;

namespace {

struct RegistryItem {
  ItemIndex index;
  const char *prefix;  // of the export file's name
  const char *below;   // the key below the version key; null for the accounts
};

constexpr RegistryItem kAccounts{mailclient::kItemAccounts, "OBA", nullptr};
constexpr RegistryItem kRules{mailclient::kItemRules, "OBR", "\\Rules"};
constexpr RegistryItem kBlockSenders{mailclient::kItemBlockSenders, "OBR", "\\Block Senders"};
constexpr RegistryItem kSignatures{mailclient::kItemSignatures, "OBR", "\\signatures"};
constexpr RegistryItem kSettings{mailclient::kItemSettings, "OBS", "\\Mail"};

// The item's key: the identity's accounts key, else the user-wide one, when one
// exists; for the others the key below the version key, when the identity has a
// version key.
std::optional<std::string> ItemKey(const RegistryItem &item, const std::string &identity) {
  if (!item.below) {
    std::string key = mailclient::AccountsKey(identity);
    if (!registry::KeyExists(key)) return std::nullopt;
    return key;
  }
  std::optional<std::string> version = mailclient::VersionKey(identity);
  if (!version) return std::nullopt;
  return *version + item.below;
}

bool BackupRegistryItem(ItemContext &c, const RegistryItem &item, const std::string &identity) {
  return Trapped([&] {
    std::optional<std::string> key = ItemKey(item, identity);
    if (!key) return false;
    // A missing key is created and so travels as an empty tree.
    if (!registry::KeyExists(*key)) registry::CreateKey(*key);
    const std::string file = app::sGetTempFile(item.prefix);
    if (file.empty()) return false;
    c.tempFiles[item.index] = file;
    registry::ExportKeyTree(*key, file);
    c.state.Zip1->AppendPath(file);
    detail::RecordEntries(c, item.index, detail::BaseName(file));
    return true;
  });
}

// The entry is extracted under a new name of its own in the data folder, so
// that a name recorded in a backup can never replace one of the program's files
// there, and removed again whatever the import's outcome.
bool RestoreRegistryItem(ItemContext &c, const RegistryItem &item, const std::string &identity) {
  return Trapped([&] {
    std::optional<std::string> key = ItemKey(item, identity);
    if (!key)
      return !item.below;  // without any accounts key there is nothing to
                           // restore into
    auto entries = detail::RecordedEntries(c, item.index, false);
    if (!entries) return false;
    const std::string file = app::sGetTempFile("OBI");
    if (file.empty()) return false;
    struct Remover {
      const std::string &path;
      ~Remover() { platform::Files().RemoveFile(path); }
    } remover{file};
    if (!entries->front().ExtractToFile(file)) return false;
    registry::ImportKeyFile(*key, file);
    return true;
  });
}

}  // namespace

bool BackupAccounts(ItemContext &c, const std::string &strIdentity) {
  return BackupRegistryItem(c, kAccounts, strIdentity);
}
bool RestoreAccounts(ItemContext &c, const std::string &strIdentity) {
  return RestoreRegistryItem(c, kAccounts, strIdentity);
}
bool BackupRules(ItemContext &c, const std::string &strIdentity) { return BackupRegistryItem(c, kRules, strIdentity); }
bool RestoreRules(ItemContext &c, const std::string &strIdentity) {
  return RestoreRegistryItem(c, kRules, strIdentity);
}
bool Backupblocksenders(ItemContext &c, const std::string &strIdentity) {
  return BackupRegistryItem(c, kBlockSenders, strIdentity);
}
bool RestoreBlocksenders(ItemContext &c, const std::string &strIdentity) {
  return RestoreRegistryItem(c, kBlockSenders, strIdentity);
}
bool BackupSignatures(ItemContext &c, const std::string &strIdentity) {
  return BackupRegistryItem(c, kSignatures, strIdentity);
}
bool RestoreSignatures(ItemContext &c, const std::string &strIdentity) {
  return RestoreRegistryItem(c, kSignatures, strIdentity);
}
bool BackupSettings(ItemContext &c, const std::string &strIdentity) {
  return BackupRegistryItem(c, kSettings, strIdentity);
}
bool RestoreSettings(ItemContext &c, const std::string &strIdentity) {
  return RestoreRegistryItem(c, kSettings, strIdentity);
}

}  // namespace quarnel::backup
