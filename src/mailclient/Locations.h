#pragma once
// Where Outlook Express, the Windows Address Book and Windows keep what the items need.
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

}  // namespace quarnel::mailclient
