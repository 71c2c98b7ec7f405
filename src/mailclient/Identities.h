#pragma once
// Outlook Express identities and which of an identity's items can be backed up.
#include <array>

#include "app/MainState.h"
#include "app/MainView.h"

namespace quarnel::mailclient {

// Fills Identities from the sub-keys of HKEY_CURRENT_USER\Identities; NoIdentities when none.
void BuildIdentityList(app::MainState& state);
// The identities as the scheduled-backup window lists them too.
std::vector<app::Identity> ListIdentities();

// Today's local date as generated backup names carry it: "MM-DD-YYYY".
std::string FileDate();

// Which of the eight backup items the identity of that sub-key can offer: Accounts, Address
// Book and Stationeries are off when there is nothing of that kind to back up.
std::array<bool, app::kItemCount> AvailableItems(const std::string& identityKeyName);

// The user chose identity `index` in cbSource: clears and enables the eight backup boxes,
// disables those whose data is missing and, with automatic naming on, sets TargetPath.
void IdentityStep(app::MainState& state, app::MainView& view, int index);

}  // namespace quarnel::mailclient
