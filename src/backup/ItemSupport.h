#pragma once
// What the item operations share, not part of their interface.
#include <optional>
#include <string>
#include <vector>

#include "archive/ZipArchive.h"
#include "backup/ItemContext.h"

namespace quarnel::backup::detail {

// Runs one item operation under its one error trap: any error ends it with
// false, and what was done before stays done.
template <typename Operation>
bool Trapped(Operation &&operation) {
  try {
    return operation();
  } catch (...) {
    return false;
  }
}

std::string BaseName(const std::string &path);

// Appends the item's line to the information file; raises when it cannot be
// written (an item whose entries are not recorded cannot be restored).
void RecordEntries(ItemContext &c, int item, const std::string &value);

// The entries that the opened backup lists for the item (one name, or with `list` a
// ";"-list, whose names may themselves hold ";"), each checked to be a bare file name and
// found in the archive before anything is written. Nothing when a name is unsafe or an
// entry is missing.
std::optional<std::vector<archive::ArchiveEntry>> RecordedEntries(ItemContext &c, int item, bool list);

}  // namespace quarnel::backup::detail
