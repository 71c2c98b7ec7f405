#include "mailclient/Identities.h"

namespace quarnel::mailclient {

std::vector<app::Identity> ListIdentities() { return {}; }

void BuildIdentityList(app::MainState& state) {
  state.Identities = ListIdentities();
  state.NoIdentities = state.Identities.empty();
}

void IdentityStep(app::MainState&, app::MainView&, int) {}

}  // namespace quarnel::mailclient
