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

std::optional<std::vector<archive::ArchiveEntry>> RecordedEntries(ItemContext &c, int item, bool list) {
  const std::string value = app::CutAtNul(c.state.ItemEntryNames.at(item));
  const std::vector<std::string> names = list ? SplitEntryNames(value) : std::vector<std::string>{value};
  for (const std::string &name : names) {
    if (!archive::IsSafeEntryName(name)) return std::nullopt;
  }
  std::vector<archive::ArchiveEntry> entries;
  for (const std::string &name : names) {
    std::optional<archive::ArchiveEntry> entry = c.state.Zip1->FindEntry(name);
    if (!entry) return std::nullopt;
    entries.push_back(*entry);
  }
  return entries;
}

}  // namespace quarnel::backup::detail
