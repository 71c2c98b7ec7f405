#pragma once
// settings.dat (profile strings) and the key=value text files that carry a backup's
// information file; the flag rule and the backup folder resolution.
#include <string>

namespace quarnel::app {

// The folder of the running program: help.chm and the skin lie there.
std::string ProgramFolder();
// Where the program writes its own files (settings.dat, brlog.dat, the information file,
// registry exports): the program folder when a file can be created there (Windows XP, a
// portable copy, Wine), otherwise "Quarnel Backup" in the user's application-data folder,
// created when missing. Decided once per program folder, so at start-up in practice.
std::string DataFolder();
inline constexpr const char* kDataFolderName = "Quarnel Backup";
// Joins a folder and a name with one backslash (none added when the folder ends with one).
std::string JoinPath(const std::string& folder, const std::string& name);
std::string SettingsFilePath();  // settings.dat in the data folder

// One profile value read through a 128-character buffer (so at most 127 characters), cut at
// its first NUL and trimmed of blanks; "" when the file, section or key is missing.
std::string ReadINI(const std::string& file, const std::string& section, const std::string& key);
// Writes one profile value, cut to 128 characters first; failures are not reported.
void WriteINI(const std::string& file, const std::string& section, const std::string& key, const std::string& value);

// The value of the first line "name=value" whose name matches without regard to case; reading
// stops at the first empty line. "" when nothing matches or the file cannot be read.
std::string GetINI(const std::string& name, const std::string& file);
// Appends "name=value" CR LF, creating the file; false when it cannot be written.
bool SaveINI(const std::string& name, const std::string& value, const std::string& file);

// A new empty file with a unique name in the data folder; "" when none could be made.
std::string sGetTempFile(const std::string& prefix);

// True when the text is empty once NULs are removed and blanks trimmed.
bool EmptyString(const std::string& text);
std::string TrimBlanks(const std::string& text);
std::string CutAtNul(const std::string& text);

// A setting compared with a number: a number must equal it; an empty value or one that is
// not a number counts as equal.
bool FlagEquals(const std::string& value, int comparedWith);
// ReadINI of settings.dat under the flag rule against 1.
bool SettingOn(const std::string& section, const std::string& key);

// Where generated backup file names go: the backupfolder setting when it names an existing
// folder (one trailing backslash removed), else the data folder.
std::string ResolveBackupFolder();

}  // namespace quarnel::app
