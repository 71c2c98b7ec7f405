#pragma once
// What the scheduled-backup window's logic reads and writes of Frmoption. The Win32 dialog
// implements it; tests use a fake.
#include <optional>
#include <string>

#include "app/MainView.h"

namespace quarnel::schedule {

enum class ScheduleControl {
  cbSource,
  txtTargetFile,
  cmdTargetFile,
  ifprotect,
  txtPassword,
  txtPassword2,
  cmbStartTime,
  chkMonday,
  chkTuesday,
  chkWednesday,
  chkThursday,
  chkFriday,
  chkSaturday,
  chkSunday,
  chkDaily,
  Command3,  // "Add Task to Scheduler"
  Command1,  // "Disable Task"
  Command2,  // "Cancel"
};

inline constexpr ScheduleControl kDayBoxes[] = {
    ScheduleControl::chkMonday,   ScheduleControl::chkTuesday, ScheduleControl::chkWednesday,
    ScheduleControl::chkThursday, ScheduleControl::chkFriday,  ScheduleControl::chkSaturday,
    ScheduleControl::chkSunday,
};

class ScheduleView {
 public:
  virtual ~ScheduleView() = default;

  virtual std::string Text(ScheduleControl c) const = 0;
  virtual void SetText(ScheduleControl c, const std::string& text) = 0;
  virtual bool Enabled(ScheduleControl c) const = 0;
  virtual void SetEnabled(ScheduleControl c, bool enabled) = 0;
  virtual bool Checked(ScheduleControl c) const = 0;
  virtual void SetChecked(ScheduleControl c, bool checked) = 0;
  virtual void SetFieldColour(ScheduleControl c, app::FieldColour colour) = 0;

  // cbSource and cmbStartTime. Setting the index does not raise the choice event.
  virtual void ClearList(ScheduleControl c) = 0;
  virtual void AddListItem(ScheduleControl c, const std::string& text) = 0;
  virtual int ListIndex(ScheduleControl c) const = 0;  // -1 when nothing is chosen
  virtual void SetListIndex(ScheduleControl c, int index) = 0;

  // backupitem 0 to 7.
  virtual bool ItemChecked(int index) const = 0;
  virtual void SetItemChecked(int index, bool checked) = 0;
  virtual void SetItemEnabled(int index, bool enabled) = 0;

  virtual std::optional<std::string> SaveFileDialog(const app::FileDialogSpec& spec) = 0;
  virtual void SetWaitCursor(bool waiting) = 0;
  virtual void Close() = 0;
};

}  // namespace quarnel::schedule
