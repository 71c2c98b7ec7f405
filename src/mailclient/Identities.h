#pragma once
// Outlook Express identities and which of an identity's items can be backed up.
#include "app/MainState.h"
#include "app/MainView.h"

namespace quarnel::mailclient {

// Fills Identities from the sub-keys of HKEY_CURRENT_USER\Identities; NoIdentities when none.
void BuildIdentityList(app::MainState& state);
// The identities as the scheduled-backup window lists them too.
std::vector<app::Identity> ListIdentities();

// The user chose identity `index` in cbSource: clears and enables the eight backup boxes,
// disables those whose data is missing and, with automatic naming on, sets TargetPath.
void IdentityStep(app::MainState& state, app::MainView& view, int index);

}  // namespace quarnel::mailclient
