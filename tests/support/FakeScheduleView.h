#pragma once
// Frmoption made of plain fields, for tests of its logic.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "schedule/ScheduleView.h"
#include "support/FakeMainView.h"

namespace quarnel::testing {

class FakeScheduleView : public schedule::ScheduleView {
 public:
  std::string Text(schedule::ScheduleControl c) const override { return controls[c].text; }
  void SetText(schedule::ScheduleControl c, const std::string& text) override { controls[c].text = text; }
  bool Enabled(schedule::ScheduleControl c) const override { return controls[c].enabled; }
  void SetEnabled(schedule::ScheduleControl c, bool enabled) override { controls[c].enabled = enabled; }
  bool Checked(schedule::ScheduleControl c) const override { return controls[c].checked; }
  void SetChecked(schedule::ScheduleControl c, bool checked) override { controls[c].checked = checked; }
  void SetFieldColour(schedule::ScheduleControl c, app::FieldColour colour) override { controls[c].colour = colour; }
  void ClearList(schedule::ScheduleControl c) override {
    controls[c].items.clear();
    controls[c].index = -1;
  }
  void AddListItem(schedule::ScheduleControl c, const std::string& text) override { controls[c].items.push_back(text); }
  int ListIndex(schedule::ScheduleControl c) const override { return controls[c].index; }
  void SetListIndex(schedule::ScheduleControl c, int index) override {
    // As a drop-down list does: the chosen entry becomes the text.
    controls[c].index = index;
    controls[c].text = controls[c].items.at(static_cast<std::size_t>(index));
  }
  bool ItemChecked(int index) const override { return items[index].checked; }
  void SetItemChecked(int index, bool checked) override { items[index].checked = checked; }
  void SetItemEnabled(int index, bool enabled) override { items[index].enabled = enabled; }
  std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) override {
    dialogs.push_back(spec);
    return dialogAnswer;
  }
  void SetWaitCursor(bool waiting) override { waitCursor = waiting; }
  void Close() override { ++closes; }

  mutable std::map<schedule::ScheduleControl, FakeControl> controls;
  FakeMainView::Item items[app::kItemCount];
  std::vector<app::FileDialogSpec> dialogs;
  std::optional<std::string> dialogAnswer;
  bool waitCursor = false;
  int closes = 0;
};

}  // namespace quarnel::testing
