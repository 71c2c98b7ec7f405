#pragma once
// What the settings window's logic reads and writes of Frmsettings. The Win32 dialog
// implements it; tests use a fake.
#include <cstdint>
#include <string>

namespace quarnel::settingsui {

enum class SettingsControl {
  Check1,   // "Start software on Windows start up"
  Check2,   // "Burn Backup file to CD/DVD after backup finish"
  Check3,   // "Check backup file after backup procedure"
  Check4,   // "If Outlook locks a file then automatically close Outlook Express "
  Check5,   // "Open folder after backup finishe"
  Check6,   // "Run Outlook Express after backup finish"
  Check7,   // "Run Outlook Express after restore finish"
  Check8,   // "Automatically generate backup file name"
  Option1,  // "Replace to default AutoBackup file"
  Option2,  // "Auto Backup to a new file"
  Text1,    // "Default folder for backups"
};

class SettingsView {
 public:
  virtual ~SettingsView() = default;
  virtual std::string Text(SettingsControl c) const = 0;
  virtual void SetText(SettingsControl c, const std::string& text) = 0;
  virtual bool Checked(SettingsControl c) const = 0;
  virtual void SetChecked(SettingsControl c, bool checked) = 0;
  // The folder picker owned by the settings window; "" when cancelled or when the choice
  // has no file-system path.
  virtual std::string BrowseForFolder(const std::string& title, std::uint32_t flags) = 0;
  virtual void Close() = 0;
};

}  // namespace quarnel::settingsui
