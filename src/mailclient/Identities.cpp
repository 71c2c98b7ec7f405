#include "mailclient/Identities.h"

#include <cstdio>

#include "app/Settings.h"
#include "mailclient/Locations.h"
#include "platform/Services.h"
#include "registry/ModReg.h"

namespace quarnel::mailclient {

using platform::Files;

namespace {

// The sub-key names under Identities; an enumeration failure counts as none.
std::vector<std::string> IdentityKeyNames() {
  try {
    return registry::EnumSubKeys(kIdentitiesKey);
  } catch (const registry::RegistryError&) {
    return {};
  }
}

std::vector<app::Identity> IdentitiesOf(const std::vector<std::string>& names) {
  std::vector<app::Identity> identities;
  for (const std::string& name : names) {
    if (app::EmptyString(name)) continue;
    registry::RegistryValues values = registry::EnumValues(IdentityKey(name));
    const registry::RegistryValue* user = values.Find("Username");
    identities.push_back({user ? user->Text() : std::string(), name});
  }
  return identities;
}

}  // namespace

// Whether Outlook Express is set up is a matter of the sub-keys being there at all, blank
// names included.
std::vector<app::Identity> ListIdentities(bool* noIdentities) {
  std::vector<std::string> names = IdentityKeyNames();
  *noIdentities = names.empty();
  return IdentitiesOf(names);
}

void BuildIdentityList(app::MainState& state) { state.Identities = ListIdentities(&state.NoIdentities); }

std::string FileDate() {
  platform::LocalTime now = platform::System().Now();
  char text[16];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", now.month, now.day, now.year);
  return text;
}

namespace {

bool StationeryAvailable() {
  std::string folder = StationeryFolder();
  return Files().FolderExists(folder) && !Files().ListFiles(folder).empty();
}

}  // namespace

std::array<bool, app::kItemCount> AvailableItems(const std::string& identityKeyName) {
  std::array<bool, app::kItemCount> available;
  available.fill(true);
  available[kItemAccounts] = registry::KeyExists(AccountsKey(identityKeyName));
  std::string addressBook;
  // An address book whose location cannot be read at all stays available.
  if (registry::ReadDefaultValue(kAddressBookKey, &addressBook)) {
    available[kItemAddressBook] = !addressBook.empty() && Files().FileExists(addressBook);
  }
  available[kItemStationeries] = StationeryAvailable();
  return available;
}

}  // namespace quarnel::mailclient
