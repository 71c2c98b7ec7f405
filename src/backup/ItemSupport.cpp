#include "backup/ItemSupport.h"

#include <stdexcept>

#include "app/Settings.h"
#include "archive/EntryNames.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"

namespace quarnel::backup::detail {

std::string BaseName(const std::string &path) {
  std::size_t cut = path.rfind('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

void RecordEntries(ItemContext &c, int item, const std::string &value) {
  if (!app::SaveINI(Items()[item].infoKey, value, c.state.InfoFilePath)) {
    throw std::runtime_error("Cannot write the information file");
  }
}

namespace {

constexpr std::size_t kLongestFileName = 260;

// A ";"-list cuts a file name that holds ";" (Windows allows it) into pieces. Adjacent
// pieces are joined again wherever the joined name is an entry of the archive, so that
// every piece belongs to exactly one entry; of the entries starting at a piece the longest
// is taken. Nothing when the pieces cannot be covered so.
std::optional<std::vector<archive::ArchiveEntry>> EntriesCovering(archive::ZipArchive &zip,
                                                                  const std::vector<std::string> &pieces) {
  const std::size_t count = pieces.size();
  // The entry that starts at each piece, and the piece after it.
  std::vector<std::optional<archive::ArchiveEntry>> entryAt(count + 1);
  std::vector<std::size_t> next(count + 1, 0);
  std::vector<bool> covered(count + 1, false);
  covered[count] = true;
  for (std::size_t first = count; first-- > 0;) {
    std::string name;
    for (std::size_t last = first; last < count && name.size() <= kLongestFileName; ++last) {
      name += (last > first ? ";" : "") + pieces[last];
      if (!covered[last + 1] || !archive::IsSafeEntryName(name)) continue;
      if (std::optional<archive::ArchiveEntry> entry = zip.FindEntry(name)) {
        entryAt[first] = entry;
        next[first] = last + 1;
        covered[first] = true;
      }
    }
  }
  if (!covered[0]) return std::nullopt;
  std::vector<archive::ArchiveEntry> entries;
  for (std::size_t at = 0; at < count; at = next[at]) entries.push_back(*entryAt[at]);
  return entries;
}

}  // namespace

std::optional<std::vector<archive::ArchiveEntry>> RecordedEntries(ItemContext &c, int item, bool list) {
  const std::string value = app::CutAtNul(c.state.ItemEntryNames.at(item));
  if (list) return EntriesCovering(*c.state.Zip1, SplitEntryNames(value));
  if (!archive::IsSafeEntryName(value)) return std::nullopt;
  std::optional<archive::ArchiveEntry> entry = c.state.Zip1->FindEntry(value);
  if (!entry) return std::nullopt;
  return std::vector<archive::ArchiveEntry>{*entry};
}

}  // namespace quarnel::backup::detail
