#include "support/FakeMainView.h"

namespace quarnel::testing {

FakeMainView::FakeMainView() {}

void FakeMainView::ClearList(app::Control c) {
  controls[c].items.clear();
  controls[c].index = -1;
}

std::optional<std::string> FakeMainView::OpenFileDialog(const app::FileDialogSpec& spec) {
  dialogs.push_back(spec);
  return dialogAnswer;
}

std::optional<std::string> FakeMainView::SaveFileDialog(const app::FileDialogSpec& spec) {
  dialogs.push_back(spec);
  return dialogAnswer;
}

std::string FakeMainView::BrowseForFolder(const std::string&, std::uint32_t) { return folderAnswer; }

}  // namespace quarnel::testing
