#include "mailclient/Locations.h"

#include <vector>

#include "app/Settings.h"
#include "platform/Services.h"
#include "registry/ModReg.h"

namespace quarnel::mailclient {

std::string IdentityKey(const std::string& identityKeyName) {
  return std::string(kIdentitiesKey) + "\\" + identityKeyName;
}

std::string AccountsKey(const std::string& identityKeyName) {
  std::string own = IdentityKey(identityKeyName) + "\\Software\\Microsoft\\Internet Account Manager\\Accounts";
  return registry::KeyExists(own) ? own : std::string(kUserAccountsKey);
}

namespace {

constexpr const char* kStationeryBelow = "\\Microsoft Shared\\Stationery";

std::string CommonFilesDir() {
  return app::TrimBlanks(app::CutAtNul(registry::ReadStringValue(kCurrentVersionKey, "CommonFilesDir")));
}

}  // namespace

std::string StationeryFolder() { return CommonFilesDir() + kStationeryBelow; }

std::optional<std::string> FindStationeryFolder() {
  std::string common = CommonFilesDir();
  if (common.empty() || common == "Error") return std::nullopt;
  return common + kStationeryBelow;
}

std::string MailClientKey(const std::string& identityKeyName) {
  return IdentityKey(identityKeyName) + "\\Software\\Microsoft\\Outlook Express";
}

std::optional<std::string> VersionKey(const std::string& identityKeyName) {
  const std::string mailClient = MailClientKey(identityKeyName);
  std::vector<std::string> versions = registry::EnumSubKeys(mailClient);
  if (versions.empty()) return std::nullopt;
  return mailClient + "\\" + versions.front();
}

std::optional<std::string> StoreFolder(const std::string& versionKey) {
  registry::RegistryValues values = registry::EnumValues(versionKey);
  const registry::RegistryValue* root = values.Find("Store Root");
  if (!root) return std::nullopt;
  std::string folder = root->Text();
  const std::string variable = "%UserProfile%";
  const std::string profile = platform::System().ExpandEnvironment(variable);
  for (std::size_t at = folder.find(variable); at != std::string::npos;
       at = folder.find(variable, at + profile.size())) {
    folder.replace(at, variable.size(), profile);
  }
  return folder;
}

std::optional<std::string> AddressBookFile() {
  std::string path;
  if (!registry::ReadDefaultValue(kAddressBookKey, &path) || path.empty() || !platform::Files().FileExists(path)) {
    return std::nullopt;
  }
  return path;
}

}  // namespace quarnel::mailclient
