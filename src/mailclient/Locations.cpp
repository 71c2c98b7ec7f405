#include "mailclient/Locations.h"

#include "app/Settings.h"
#include "registry/ModReg.h"

namespace quarnel::mailclient {

std::string IdentityKey(const std::string& identityKeyName) {
  return std::string(kIdentitiesKey) + "\\" + identityKeyName;
}

std::string AccountsKey(const std::string& identityKeyName) {
  std::string own = IdentityKey(identityKeyName) + "\\Software\\Microsoft\\Internet Account Manager\\Accounts";
  return registry::KeyExists(own) ? own : std::string(kUserAccountsKey);
}

std::string StationeryFolder() {
  std::string common = app::TrimBlanks(app::CutAtNul(registry::ReadStringValue(kCurrentVersionKey, "CommonFilesDir")));
  return common + "\\Microsoft Shared\\Stationery";
}

}  // namespace quarnel::mailclient
