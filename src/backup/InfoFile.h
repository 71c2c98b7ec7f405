#pragma once
// The information file quarnel.dat that every backup carries as its last entry:
// key=value lines (CR LF) saying where the backup came from and which entries
// belong to which item. Written in the data folder while a job builds it, added
// to the archive, then deleted; extracted there again when a backup file is
// opened.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "backup/ItemContext.h"

namespace quarnel::backup {

inline constexpr const char *kInfoFileName = "quarnel.dat";
// Ours are a few KB (a line per item, and a name and two numbers per entry); a backup that
// states more is not read, nor written anywhere.
inline constexpr std::uint64_t kInfoFileLimit = 1024 * 1024;

// BackupEntries: what the backup was made of, added to the file as it goes into the archive
// after every other entry: "name:size:crc" per entry (size in decimal, CRC-32 in eight hex
// digits), "|" between entries. Neither ":" nor "|" can be part of a file name. Older
// readers ignore the key.
inline constexpr const char *kEntriesKey = "BackupEntries";
std::string FormatEntryRecord(const std::vector<archive::EntryFacts> &entries);
// Nothing when the value is not such a list.
std::optional<std::vector<archive::EntryFacts>> ParseEntryRecord(const std::string &value);

// A description of several lines stays on one line: every CR LF pair becomes
// "PS$QRN", and every "PS$QRN" read back becomes CR LF. A lone CR or LF is kept
// as it is.
std::string EncodeDescription(const std::string &text);
std::string DecodeDescription(const std::string &value);

// GetINI's value (first matching line, key in any letter case, reading stops at
// the first empty line), cut at its first NUL: older backups may carry one
// after a file name.
std::string ReadInfoValue(const std::string &key, const std::string &file);
// The names of a ";"-list value (mail folders, stationery), in order.
std::vector<std::string> SplitEntryNames(const std::string &value);

// What an opened backup says about itself.
struct BackupInfo {
  std::string computer, logonUser, identity, time;
  std::string description;  // with its line breaks back
  std::string itemFlags;    // BackupItem
  // When itemFlags has its eight characters: the entry names of every item
  // flagged "1".
  std::array<std::string, app::kItemCount> entryNames;
  // BackupEntries, when the backup has it. A value that is not a record leaves itemFlags
  // empty: the backup is not valid.
  std::optional<std::vector<archive::EntryFacts>> record;
};
// Reads the file once; a file over kInfoFileLimit describes nothing.
BackupInfo ReadBackupInfo(const std::string &file);
// Takes the opened backup's information file out to path, reads it and deletes it. Nothing
// when it cannot be extracted or states more than kInfoFileLimit (then nothing is written).
std::optional<BackupInfo> ExtractBackupInfo(const archive::ArchiveEntry &entry, const std::string &path);

// The lines a job writes before the items.
struct InfoHeader {
  bool withOrigin = true;  // BackupComputer and BackupLogonUser: the interactive backup only
  std::string computer;
  std::string logonUser;
  std::string identity;     // display name
  std::string time;         // general date form
  std::string description;  // as typed, CR LF between lines
};

// Deletes an earlier file at path and writes the header lines. False when the
// old file cannot be deleted or a line cannot be written: the backup would then
// not describe itself.
bool BeginInfoFile(const std::string &path, const InfoHeader &header);
// Appends BackupItem = itemFlags, makes the file a normal one and adds it to
// the archive in hand as its last entry, with BackupEntries added as it goes in. False when the line cannot be written
// or the file not added.
bool FinishInfoFile(ItemContext &c, const std::string &itemFlags);
// After the archive has been written: deletes the information file and every
// export file the registry items left, and empties their slots. A file already
// gone is skipped.
void DeleteJobFiles(ItemContext &c);

}  // namespace quarnel::backup
