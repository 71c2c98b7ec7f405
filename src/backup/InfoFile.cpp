#include "backup/InfoFile.h"

#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "platform/Services.h"

namespace quarnel::backup {

using platform::Files;

namespace {

constexpr const char *kLineBreakMark = "PS$QRN";

std::string ReplaceAll(std::string text, const std::string &what, const std::string &with) {
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

}  // namespace

std::string EncodeDescription(const std::string &text) { return ReplaceAll(text, "\r\n", kLineBreakMark); }

std::string DecodeDescription(const std::string &value) { return ReplaceAll(value, kLineBreakMark, "\r\n"); }

std::string ReadInfoValue(const std::string &key, const std::string &file) {
  return app::CutAtNul(app::GetINI(key, file));
}

std::vector<std::string> SplitEntryNames(const std::string &value) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (std::size_t semicolon; (semicolon = value.find(';', start)) != std::string::npos; start = semicolon + 1) {
    names.push_back(value.substr(start, semicolon - start));
  }
  names.push_back(value.substr(start));
  return names;
}

BackupInfo ReadBackupInfo(const std::string &file) {
  BackupInfo info;
  info.computer = ReadInfoValue("BackupComputer", file);
  info.logonUser = ReadInfoValue("BackupLogonUser", file);
  info.identity = ReadInfoValue("BackupIdentity", file);
  info.time = ReadInfoValue("BackupTime", file);
  info.description = DecodeDescription(ReadInfoValue("BackupInformation", file));
  info.itemFlags = ReadInfoValue("BackupItem", file);
  if (info.itemFlags.size() == app::kItemCount) {
    for (int i = 0; i < app::kItemCount; ++i) {
      if (info.itemFlags[i] == '1') info.entryNames[i] = ReadInfoValue(Items()[i].infoKey, file);
    }
  }
  return info;
}

bool BeginInfoFile(const std::string &path, const InfoHeader &header) {
  if (Files().FileExists(path) && !Files().RemoveFile(path)) return false;
  bool written = true;
  if (header.withOrigin) {
    written = app::SaveINI("BackupComputer", header.computer, path) && written;
    written = app::SaveINI("BackupLogonUser", header.logonUser, path) && written;
  }
  written = app::SaveINI("BackupIdentity", header.identity, path) && written;
  written = app::SaveINI("BackupTime", header.time, path) && written;
  written = app::SaveINI("BackupInformation", EncodeDescription(header.description), path) && written;
  return written;
}

bool FinishInfoFile(ItemContext &c, const std::string &itemFlags) {
  const std::string &path = c.state.InfoFilePath;
  bool written = app::SaveINI("BackupItem", itemFlags, path);
  Files().SetNormalAttributes(path);
  return c.state.Zip1->AppendPath(path) && written;
}

void DeleteJobFiles(ItemContext &c) {
  Files().RemoveFile(c.state.InfoFilePath);
  for (std::string &file : c.tempFiles) {
    if (!file.empty()) Files().RemoveFile(file);
    file.clear();
  }
}

}  // namespace quarnel::backup
