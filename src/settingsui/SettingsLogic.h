#pragma once
// Frmsettings ("Settings"): shows the options of settings.dat, writes them all back on OK,
// and registers or unregisters the program to start with Windows.
#include "settingsui/SettingsView.h"

namespace quarnel::settingsui {

inline constexpr const char* kSettingsCaption = "Settings";
// The current user's start-up programs, and the value that names this one.
inline constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kRunValueName = "Quarnel Backup";
inline constexpr std::uint32_t kFolderPickerFlags = 2;  // BIF_DONTGOBELOWDOMAIN

class SettingsLogic {
 public:
  explicit SettingsLogic(SettingsView& view) : view_(view) {}

  void Opening();
  void FolderClicked();  // Command1
  void OkClicked();      // Command2
  void CancelClicked();  // Command3, and closing by the frame

 private:
  SettingsView& view_;
};

// The Run value's data: the program's path in double quotes.
std::string StartUpCommand();

}  // namespace quarnel::settingsui
