#include "app/Settings.h"

#include <cctype>
#include <cstdlib>

#include "platform/Services.h"
#include "platform/TextLines.h"
#include "platform/Text.h"

namespace quarnel::app {

using platform::Files;
using platform::System;

std::string ProgramFolder() { return System().ProgramFolder(); }

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::string DataFolder() {
  // Cached per program folder: tests move the program folder, a running program never does.
  static std::string decidedFor, decided;
  const std::string program = ProgramFolder();
  if (!decided.empty() && decidedFor == program) return decided;

  std::string probe;
  if (System().CreateTempFile(program, "qrn", &probe)) {
    Files().RemoveFile(probe);
    decided = program;
  } else {
    const std::string appData = System().AppDataFolder();
    const std::string own = appData.empty() ? std::string() : JoinPath(appData, kDataFolderName);
    if (!own.empty() && (Files().FolderExists(own) || Files().CreateFolder(own))) {
      decided = own;
    } else {
      decided = program;  // nowhere better: the writes fail there as they would have anyway
    }
  }
  decidedFor = program;
  return decided;
}

std::string SettingsFilePath() { return JoinPath(DataFolder(), "settings.dat"); }

std::string CutAtNul(const std::string& text) { return text.substr(0, text.find('\0')); }

std::string TrimBlanks(const std::string& text) {
  std::size_t b = text.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  std::size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

bool EmptyString(const std::string& text) {
  std::string without;
  for (char c : text) {
    if (c != '\0') without += c;
  }
  return TrimBlanks(without).empty();
}

std::string ReadINI(const std::string& file, const std::string& section, const std::string& key) {
  char buffer[128] = {};
  std::uint32_t n = platform::Profile().GetString(section, key, "", buffer, sizeof buffer, file);
  if (n > sizeof buffer - 1) n = sizeof buffer - 1;
  return TrimBlanks(CutAtNul(std::string(buffer, n)));
}

void WriteINI(const std::string& file, const std::string& section, const std::string& key, const std::string& value) {
  platform::Profile().WriteString(section, key, value.substr(0, 128), file);
}

std::string GetINI(const std::string& name, const std::string& file) {
  std::string text;
  if (!Files().ReadAll(file, &text)) return "";
  const std::string wanted = platform::UpperAnsi(name);
  platform::TextLines lines(text);
  while (!lines.AtEmptyLine()) {  // an empty line ends the entries
    std::string_view line = lines.Next();
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    if (platform::UpperAnsi(line.substr(0, eq)) == wanted) return std::string(line.substr(eq + 1));
  }
  return "";
}

bool SaveINI(const std::string& name, const std::string& value, const std::string& file) {
  return Files().AppendBytes(file, name + "=" + value + "\r\n");
}

std::string sGetTempFile(const std::string& prefix) {
  std::string path;
  if (!System().CreateTempFile(DataFolder(), prefix, &path)) return "";
  return path;
}

namespace {

// A plain decimal number: sign, digits with at most one point, an optional exponent.
bool IsNumber(const std::string& t) {
  std::size_t i = 0, digits = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) ++digits;
  if (i < t.size() && t[i] == '.') {
    for (++i; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) ++digits;
  }
  if (digits == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exponent = 0;
    for (; i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); ++i) ++exponent;
    if (exponent == 0) return false;
  }
  return i == t.size();
}

}  // namespace

bool FlagEquals(const std::string& value, int comparedWith) {
  std::string t = TrimBlanks(value);
  if (!IsNumber(t)) return true;  // empty, or not a number
  return std::strtod(t.c_str(), nullptr) == comparedWith;
}

bool SettingOn(const std::string& section, const std::string& key) {
  return FlagEquals(ReadINI(SettingsFilePath(), section, key), 1);
}

std::string ResolveBackupFolder() {
  std::string folder = ReadINI(SettingsFilePath(), "backup", "backupfolder");
  if (folder.empty() || !Files().FolderExists(folder)) return DataFolder();
  if (folder.back() == '\\') folder.pop_back();
  return folder;
}

}  // namespace quarnel::app
