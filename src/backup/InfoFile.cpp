#include "backup/InfoFile.h"

#include <cstdio>

#include "app/Settings.h"
#include "backup/BackupItems.h"
#include "platform/Services.h"
#include "platform/Text.h"
#include "platform/TextLines.h"

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

namespace {

// GetINI's rule over the text of a file already read.
std::string ValueIn(const std::string &text, const std::string &key) {
  const std::string wanted = platform::UpperAnsi(key);
  platform::TextLines lines(text);
  while (!lines.AtEmptyLine()) {
    std::string_view line = lines.Next();
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos && platform::UpperAnsi(line.substr(0, eq)) == wanted) {
      return app::CutAtNul(std::string(line.substr(eq + 1)));
    }
  }
  return "";
}

bool HasKey(const std::string &text, const std::string &key) {
  return text.rfind(key + "=", 0) == 0 || text.find("\n" + key + "=") != std::string::npos;
}

bool ParseNumber(const std::string &digits, int base, std::uint64_t limit, std::uint64_t *value) {
  if (digits.empty() || digits.size() > 20) return false;
  *value = 0;
  for (char c : digits) {
    int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : base;
    if (digit >= base || *value > (limit - static_cast<std::uint64_t>(digit)) / static_cast<std::uint64_t>(base)) {
      return false;
    }
    *value = *value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
  }
  return true;
}

}  // namespace

std::string FormatEntryRecord(const std::vector<archive::EntryFacts> &entries) {
  std::string value;
  for (const archive::EntryFacts &entry : entries) {
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(entry.crc));
    if (!value.empty()) value += '|';
    value += entry.name + ':' + std::to_string(entry.size) + ':' + crc;
  }
  return value;
}

std::optional<std::vector<archive::EntryFacts>> ParseEntryRecord(const std::string &value) {
  std::vector<archive::EntryFacts> entries;
  if (value.empty()) return entries;
  for (std::size_t start = 0, end; start <= value.size(); start = end + 1) {
    end = value.find('|', start);
    if (end == std::string::npos) end = value.size();
    const std::string item = value.substr(start, end - start);
    const std::size_t crcAt = item.rfind(':');
    const std::size_t sizeAt =
        crcAt == std::string::npos || crcAt == 0 ? std::string::npos : item.rfind(':', crcAt - 1);
    if (sizeAt == std::string::npos || sizeAt == 0) return std::nullopt;
    archive::EntryFacts facts;
    facts.name = item.substr(0, sizeAt);
    std::uint64_t crc = 0;
    if (!ParseNumber(item.substr(sizeAt + 1, crcAt - sizeAt - 1), 10, UINT64_MAX, &facts.size) ||
        item.size() - crcAt - 1 != 8 || !ParseNumber(item.substr(crcAt + 1), 16, UINT32_MAX, &crc)) {
      return std::nullopt;
    }
    facts.crc = static_cast<std::uint32_t>(crc);
    entries.push_back(std::move(facts));
  }
  return entries;
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
  std::optional<std::uint64_t> size = Files().FileSize(file);
  std::string text;
  if (!size || *size > kInfoFileLimit || !Files().ReadAll(file, &text)) return info;
  info.computer = ValueIn(text, "BackupComputer");
  info.logonUser = ValueIn(text, "BackupLogonUser");
  info.identity = ValueIn(text, "BackupIdentity");
  info.time = ValueIn(text, "BackupTime");
  info.description = DecodeDescription(ValueIn(text, "BackupInformation"));
  info.itemFlags = ValueIn(text, "BackupItem");
  if (info.itemFlags.size() == app::kItemCount) {
    for (int i = 0; i < app::kItemCount; ++i) {
      if (info.itemFlags[i] == '1') info.entryNames[i] = ValueIn(text, Items()[i].infoKey);
    }
  }
  if (HasKey(text, kEntriesKey)) {
    info.record = ParseEntryRecord(ValueIn(text, kEntriesKey));
    if (!info.record) info.itemFlags.clear();
  }
  return info;
}

std::optional<BackupInfo> ExtractBackupInfo(const archive::ArchiveEntry &entry, const std::string &path) {
  std::optional<std::uint64_t> stated = entry.StatedSize();
  if (!stated || *stated > kInfoFileLimit || !entry.ExtractToFile(path)) return std::nullopt;
  BackupInfo info = ReadBackupInfo(path);
  Files().RemoveFile(path);
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
  auto record = [](const std::vector<archive::EntryFacts> &entries) {
    return std::string(kEntriesKey) + "=" + FormatEntryRecord(entries) + "\r\n";
  };
  return c.state.Zip1->AppendClosingPath(path, record) && written;
}

void DeleteJobFiles(ItemContext &c) {
  Files().RemoveFile(c.state.InfoFilePath);
  for (std::string &file : c.tempFiles) {
    if (!file.empty()) Files().RemoveFile(file);
    file.clear();
  }
}

}  // namespace quarnel::backup
