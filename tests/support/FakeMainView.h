#pragma once
// A main window made of plain fields, for tests of the logic and of the jobs.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "app/MainView.h"

namespace quarnel::testing {

struct FakeControl {
  std::string text;
  bool enabled = true;
  bool visible = true;
  bool checked = false;
  app::FieldColour colour = app::FieldColour::Window;
  std::vector<std::string> items;
  int index = -1;
  int redraws = 0;
};

class FakeMainView : public app::MainView {
 public:
  std::string Text(app::Control c) const override { return controls[c].text; }
  void SetText(app::Control c, const std::string& text) override { controls[c].text = text; }
  bool Enabled(app::Control c) const override { return controls[c].enabled; }
  void SetEnabled(app::Control c, bool enabled) override { controls[c].enabled = enabled; }
  bool Visible(app::Control c) const override { return controls[c].visible; }
  void SetVisible(app::Control c, bool visible) override { controls[c].visible = visible; }
  bool Checked(app::Control c) const override { return controls[c].checked; }
  void SetChecked(app::Control c, bool checked) override { controls[c].checked = checked; }
  void SetFieldColour(app::Control c, app::FieldColour colour) override { controls[c].colour = colour; }
  void Redraw(app::Control c) override { ++controls[c].redraws; }

  void ClearList(app::Control c) override { controls[c].items.clear(), controls[c].index = -1; }
  void AddListItem(app::Control c, const std::string& text) override { controls[c].items.push_back(text); }
  int ListCount(app::Control c) const override { return static_cast<int>(controls[c].items.size()); }
  std::string ListItem(app::Control c, int index) const override { return controls[c].items.at(index); }
  int ListIndex(app::Control c) const override { return controls[c].index; }
  void SetListIndex(app::Control c, int index) override { controls[c].index = index; }

  bool ItemChecked(app::ItemSet set, int index) const override { return items[Set(set)][index].checked; }
  void SetItemChecked(app::ItemSet set, int index, bool checked) override { items[Set(set)][index].checked = checked; }
  bool ItemEnabled(app::ItemSet set, int index) const override { return items[Set(set)][index].enabled; }
  void SetItemEnabled(app::ItemSet set, int index, bool enabled) override { items[Set(set)][index].enabled = enabled; }

  void SetProgressRange(int minimum, int maximum) override { progressMin = minimum, progressMax = maximum; }
  void SetProgress(int value) override { progress = value; }
  int Progress() const override { return progress; }

  app::Page CurrentPage() const override { return page; }
  void ShowPage(app::Page p) override { page = p; }

  void SetWaitCursor(bool waiting) override { waitCursor = waiting; }
  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump();
  }
  void Pause(int milliseconds) override { pauses.push_back(milliseconds); }

  std::optional<std::string> OpenFileDialog(const app::FileDialogSpec& spec) override {
    dialogs.push_back(spec);
    return dialogAnswer;
  }
  std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) override { return OpenFileDialog(spec); }
  std::string BrowseForFolder(const std::string&, std::uint32_t) override { return folderAnswer; }

  void ShowModal(app::ModalWindow window) override {
    modals.push_back(window);
    if (onModal) onModal(window);
  }
  void HideWindow() override { hidden = true; }
  void Quit() override { ++quits; }

  // State a test reads or presets.
  mutable std::map<app::Control, FakeControl> controls;
  struct Item {
    bool checked = false;
    bool enabled = true;
  };
  Item items[2][app::kItemCount];
  int progressMin = 0, progressMax = 0, progress = -1;
  app::Page page = app::Page::Backup;
  bool waitCursor = false;
  int pumps = 0;
  std::vector<int> pauses;
  std::vector<app::FileDialogSpec> dialogs;
  std::optional<std::string> dialogAnswer;  // what the next file dialog returns
  std::string folderAnswer;
  std::vector<app::ModalWindow> modals;
  std::function<void()> onPump;                   // what happens while events are pumped
  std::function<void(app::ModalWindow)> onModal;  // what the user does in a modal window
  bool hidden = false;
  int quits = 0;

 private:
  static int Set(app::ItemSet set) { return set == app::ItemSet::Backup ? 0 : 1; }
};

}  // namespace quarnel::testing
