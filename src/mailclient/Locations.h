#pragma once
// Where Outlook Express, the Windows Address Book and Windows keep what the items need.
#include <optional>
#include <string>

namespace quarnel::mailclient {

enum ItemIndex {
  kItemAccounts = 0,
  kItemAddressBook = 1,
  kItemRules = 2,
  kItemMails = 3,
  kItemBlockSenders = 4,
  kItemSignatures = 5,
  kItemStationeries = 6,
  kItemSettings = 7,
};

inline constexpr const char* kIdentitiesKey = "HKEY_CURRENT_USER\\Identities";
inline constexpr const char* kUserAccountsKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Account Manager\\Accounts";
inline constexpr const char* kAddressBookKey = "HKEY_CURRENT_USER\\Software\\Microsoft\\WAB\\WAB4\\Wab File Name";
inline constexpr const char* kCurrentVersionKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* kMailClientAppPathKey =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe";

std::string IdentityKey(const std::string& identityKeyName);
// The identity's own accounts key when it exists, else the user-wide one.
std::string AccountsKey(const std::string& identityKeyName);
// The shared stationery folder: CommonFilesDir followed by "\Microsoft Shared\Stationery".
std::string StationeryFolder();
// The same, or nothing when CommonFilesDir cannot be read.
std::optional<std::string> FindStationeryFolder();

// The identity's Outlook Express key, and below it the version key: its first sub-key,
// nothing when it has none (an enumeration failure raises registry::RegistryError).
std::string MailClientKey(const std::string& identityKeyName);
std::optional<std::string> VersionKey(const std::string& identityKeyName);
// The message store folder: the version key's "Store Root" with every "%UserProfile%"
// replaced by the user's profile folder; nothing without that value.
std::optional<std::string> StoreFolder(const std::string& versionKey);
// The address book file named by the WAB key, when it is set and the file exists.
std::optional<std::string> AddressBookFile();

}  // namespace quarnel::mailclient
