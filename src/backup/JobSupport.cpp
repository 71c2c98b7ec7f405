#include "backup/JobSupport.h"

#include "platform/Services.h"

namespace quarnel::backup {

using app::Control;

void ClearRestorePage(app::MainState& state, app::MainView& view) {
  for (int i = 0; i < app::kItemCount; ++i) {
    view.SetItemChecked(app::ItemSet::Restore, i, false);
    view.SetItemEnabled(app::ItemSet::Restore, i, false);
  }
  for (Control c : {Control::txtSourceFile, Control::txtFileInfo, Control::txtPOBinfo}) view.SetText(c, "");
  state.BackupFilePath.clear();
}

std::string ChosenText(const app::MainView& view, Control combo) {
  int index = view.ListIndex(combo);
  return index >= 0 && index < view.ListCount(combo) ? view.ListItem(combo, index) : std::string();
}

std::optional<std::string> IdentityAt(const app::MainState& state, int index) {
  if (index < 0 || index >= static_cast<int>(state.Identities.size())) return std::nullopt;
  return state.Identities[static_cast<std::size_t>(index)].keyName;
}

std::string Now() { return platform::System().GeneralDate(platform::System().Now()); }

void ShowProgressPanel(app::MainView& view) {
  view.SetVisible(Control::picCon3, true);
  view.Redraw(Control::picCon3);
  view.PumpEvents();
}

void AddProgress(app::MainView& view, int step) {
  if (step != 0) view.SetProgress(view.Progress() + step);
}

void HideProgressPanel(app::MainView& view) {
  view.SetProgress(100);
  view.SetText(Control::Label1, "Operation complete!");
  view.SetVisible(Control::picCon3, false);
  view.SetProgress(0);
  view.SetText(Control::Label1, "Please Waiting...");
}

}  // namespace quarnel::backup
