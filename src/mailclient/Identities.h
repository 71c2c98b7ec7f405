#pragma once
// Outlook Express identities and which of an identity's items can be backed up.
#include <array>

#include "app/MainState.h"

namespace quarnel::mailclient {

// Fills Identities from the sub-keys of HKEY_CURRENT_USER\Identities; NoIdentities when none.
void BuildIdentityList(app::MainState& state);
// The identities as the scheduled-backup window lists them too; noIdentities as
// BuildIdentityList sets NoIdentities: no sub-key at all, blank names included.
std::vector<app::Identity> ListIdentities(bool* noIdentities);

// Today's local date as generated backup names carry it: "MM-DD-YYYY".
std::string FileDate();

// Which of the eight backup items the identity of that sub-key can offer: Accounts, Address
// Book and Stationeries are off when there is nothing of that kind to back up.
std::array<bool, app::kItemCount> AvailableItems(const std::string& identityKeyName);

}  // namespace quarnel::mailclient
