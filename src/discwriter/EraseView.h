#pragma once
// What the erase window's logic may do to frmErase; the Win32 dialog implements it.
#include <string>

namespace quarnel::disc {

enum class EraseControl { frmErase, chkQuikErase, cmdErase, cmdCancel, lblStatus, prgEraseProgress };

class EraseView {
 public:
  virtual ~EraseView() = default;
  virtual std::string Text(EraseControl c) const = 0;
  virtual void SetText(EraseControl c, const std::string& text) = 0;
  virtual bool Enabled(EraseControl c) const = 0;
  virtual void SetEnabled(EraseControl c, bool enabled) = 0;
  virtual bool Checked(EraseControl c) const = 0;
  virtual void SetChecked(EraseControl c, bool checked) = 0;
  virtual void SetProgress(int value) = 0;
  virtual void Close() = 0;
};

}  // namespace quarnel::disc
