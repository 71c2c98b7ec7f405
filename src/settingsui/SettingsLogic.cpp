#include "settingsui/SettingsLogic.h"

#include "app/Product.h"
#include "app/Settings.h"
#include "platform/Services.h"

namespace quarnel::settingsui {

using C = SettingsControl;

namespace {

struct FlagBox {
  C box;
  const char* section;
  const char* key;
};

// In the order in which they are read and written.
constexpr FlagBox kFlagBoxes[] = {
    {C::Check1, "General", "startonwindows"},
    {C::Check3, "General", "checkbackupfile"},
    {C::Check6, "General", "runoutlookafterbackup"},
    {C::Check7, "General", "runoutlookafterrestore"},
    {C::Check2, "General", "burndvd"},
    {C::Check4, "backup", "autocloseoutlook"},
    {C::Check5, "backup", "openfolderbackup"},
    {C::Check8, "backup", "automgeneratefile"},
};

void WriteStartUpEntry() {
  platform::RegKey key = 0;
  if (platform::Registry().CreateKey(platform::kHkeyCurrentUser, kRunKey, &key) != platform::kErrorSuccess) return;
  const std::string data = StartUpCommand();
  platform::Registry().SetValueEx(key, kRunValueName, platform::kRegSz, reinterpret_cast<const std::uint8_t*>(data.c_str()),
                                  static_cast<std::uint32_t>(data.size() + 1));
  platform::Registry().CloseKey(key);
}

void DeleteStartUpEntry() {
  platform::RegKey key = 0;
  if (platform::Registry().OpenKey(platform::kHkeyCurrentUser, kRunKey, &key) != platform::kErrorSuccess) return;
  platform::Registry().DeleteValue(key, kRunValueName);
  platform::Registry().CloseKey(key);
}

}  // namespace

std::string StartUpCommand() { return "\"" + app::JoinPath(app::ProgramFolder(), "quarnel.exe") + "\""; }

void SettingsLogic::Opening() {
  const std::string file = app::SettingsFilePath();
  const std::string folder = app::ReadINI(file, "backup", "backupfolder");
  view_.SetText(C::Text1, folder.empty() ? app::DataFolder() : folder);
  for (const FlagBox& flag : kFlagBoxes) {
    view_.SetChecked(flag.box, app::FlagEquals(app::ReadINI(file, flag.section, flag.key), 1));
  }
  bool replace = app::FlagEquals(app::ReadINI(file, "autobackup", "autobackupfile"), 0);
  view_.SetChecked(replace ? C::Option1 : C::Option2, true);
  view_.SetChecked(replace ? C::Option2 : C::Option1, false);
}

void SettingsLogic::FolderClicked() {
  view_.SetText(C::Text1, view_.BrowseForFolder(app::kApplicationTitle, kFolderPickerFlags));
}

void SettingsLogic::OkClicked() {
  std::string folder = app::TrimBlanks(view_.Text(C::Text1));
  if (folder.empty()) {
    platform::Messages().Show("Please enter backup folder.", app::kApplicationTitle, platform::MessageButtons::Ok,
                              platform::MessageIcon::Critical);
    return;
  }
  if (!platform::Files().FolderExists(folder)) {
    folder = app::DataFolder();
    view_.SetText(C::Text1, folder);
  }

  const std::string file = app::SettingsFilePath();
  app::WriteINI(file, "Backup", "backupfolder", folder);
  for (const FlagBox& flag : kFlagBoxes) app::WriteINI(file, flag.section, flag.key, view_.Checked(flag.box) ? "1" : "0");
  app::WriteINI(file, "autobackup", "autobackupfile", view_.Checked(C::Option1) ? "0" : "1");

  if (view_.Checked(C::Check1)) {
    WriteStartUpEntry();
  } else {
    DeleteStartUpEntry();
  }
  view_.Close();
}

void SettingsLogic::CancelClicked() { view_.Close(); }

}  // namespace quarnel::settingsui
