#include "backup/StagedRestore.h"

#include <cstdint>
#include <optional>
#include <set>

#include "app/Settings.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::backup {

using platform::Files;

namespace {

constexpr char kDoneName[] = "~qbr.done.tmp";

struct StagedFile {
  const archive::ArchiveEntry *entry;
  std::string live, staged, kept;
  bool setAside = false;  // the live file has been moved to `kept`
  bool placed = false;    // the staged file has been moved to `live`
};

// Undoes the replacement in reverse order. A live file that cannot be put back stays under
// its kept name rather than be lost.
void PutBack(std::vector<StagedFile> &files) {
  for (auto file = files.rbegin(); file != files.rend(); ++file) {
    if (file->setAside) {
      Files().MoveReplace(file->kept, file->live);
    } else if (file->placed) {
      Files().RemoveFile(file->live);
    }
    Files().RemoveFile(file->staged);
  }
}

bool AllFit(const std::vector<StagedFile> &files, const std::string &folder) {
  std::uint64_t total = 0;
  for (const StagedFile &file : files) {
    std::optional<std::uint64_t> size = file.entry->StatedSize();
    if (!size || *size > UINT64_MAX - total) return false;
    total += *size;
  }
  std::optional<std::uint64_t> space = Files().FreeSpace(folder);
  return !space || total <= *space;
}

}  // namespace

std::string StagedName(const std::string &name) { return kRestoreTemporaryPrefix + ("new." + name) + ".tmp"; }
std::string KeptName(const std::string &name) { return kRestoreTemporaryPrefix + ("old." + name) + ".tmp"; }

namespace {

// The <name> of "~qbr.<kind><name>.tmp", when the file's name is one.
std::optional<std::string> NameOf(const std::string &file, const std::string &kind) {
  const std::string start = kRestoreTemporaryPrefix + kind;
  if (file.size() <= start.size() + 4) return std::nullopt;
  if (!platform::AnsiEqualNoCase(file.substr(0, start.size()), start)) return std::nullopt;
  if (!platform::AnsiEqualNoCase(file.substr(file.size() - 4), ".tmp")) return std::nullopt;
  return file.substr(start.size(), file.size() - start.size() - 4);
}

}  // namespace

void RecoverInterruptedRestore(const std::string &folder) {
  const std::vector<std::string> names = Files().ListFiles(folder);
  bool allPlaced = false;
  for (const std::string &name : names) allPlaced = allPlaced || platform::AnsiEqualNoCase(name, kDoneName);
  for (const std::string &name : names) {
    const std::string path = app::JoinPath(folder, name);
    if (std::optional<std::string> live = NameOf(name, "old.")) {
      const std::string livePath = app::JoinPath(folder, *live);
      if (Files().InUse(path)) continue;
      if (allPlaced && Files().FileExists(livePath)) {
        Files().RemoveFile(path);
      } else {
        Files().MoveReplace(path, livePath);
      }
    } else if (NameOf(name, "new.") && !Files().InUse(path)) {
      Files().RemoveFile(path);
    }
  }
  const std::string done = app::JoinPath(folder, kDoneName);
  if (allPlaced && !Files().InUse(done)) Files().RemoveFile(done);
}

bool RestoreFilesAllOrNothing(const std::vector<archive::ArchiveEntry> &entries, const std::string &folder) {
  std::vector<StagedFile> files;
  std::set<std::string> seen;  // a name listed twice is restored once
  for (const archive::ArchiveEntry &entry : entries) {
    if (!seen.insert(platform::UpperAnsi(entry.Name())).second) continue;
    files.push_back({&entry, app::JoinPath(folder, entry.Name()), app::JoinPath(folder, StagedName(entry.Name())),
                     app::JoinPath(folder, KeptName(entry.Name()))});
  }
  if (!AllFit(files, folder)) return false;
  for (StagedFile &file : files) {
    if (!file.entry->ExtractToFile(file.staged)) {
      PutBack(files);
      return false;
    }
  }
  // Each live file is set aside under its kept name before the new one takes its place, so
  // that until the last one is in place every old one can still be put back.
  for (StagedFile &file : files) {
    if (Files().FileExists(file.live)) {
      if (!Files().MoveReplace(file.live, file.kept)) {
        PutBack(files);
        return false;
      }
      file.setAside = true;
    }
    if (!Files().MoveReplace(file.staged, file.live)) {
      PutBack(files);
      return false;
    }
    file.placed = true;
  }
  // From here an old copy beside its new file is no longer needed, and the mark tells a
  // later run that finds one left (an interrupted run, or a copy that could not be removed).
  bool anyKept = false;
  for (const StagedFile &file : files) anyKept = anyKept || file.setAside;
  if (!anyKept) return true;
  const std::string done = app::JoinPath(folder, kDoneName);
  Files().WriteAll(done, "");
  bool allRemoved = true;
  for (const StagedFile &file : files) {
    if (file.setAside) allRemoved = Files().RemoveFile(file.kept) && allRemoved;
  }
  if (allRemoved) Files().RemoveFile(done);
  return true;
}

}  // namespace quarnel::backup
