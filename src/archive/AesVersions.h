#pragma once
// WinZip AES entries come in two kinds that libzip does not tell apart: AE-1 carries the
// content's CRC, which must match; AE-2 leaves it empty or stale. The kind is read here
// from the archive's central directory.
#include <zip.h>

#include <string>
#include <vector>

#include "archive/LocalFile.h"

namespace quarnel::archive::detail {

// For each entry in libzip's order, whether it is an AE-1 entry. Empty when the directory
// cannot be read: then no AES entry's CRC decides.
std::vector<bool> Ae1Entries(const std::string& path);

}  // namespace quarnel::archive::detail
