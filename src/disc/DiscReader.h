#pragma once
// What the readers of a written image share: entries found by their identifiers as
// recorded, and a file's data read through its extents. IsoReader reads the ISO9660 (or
// Joliet) tree, UdfReader the UDF one.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "disc/LocalFiles.h"

namespace quarnel::disc {

struct DiscEntry {
  std::string id;  // as recorded
  bool folder = false;
  std::uint64_t size = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // first sector, bytes
};

class DiscReader {
 public:
  virtual ~DiscReader() = default;

  // Entries of the folder at the identifiers' path (empty: the root); false when missing.
  bool List(const std::vector<std::string>& path, std::vector<DiscEntry>* entries);
  bool Find(const std::vector<std::string>& path, DiscEntry* entry);
  // Reads bytes of a file's data from its start + offset; bytes read.
  std::size_t ReadFile(const DiscEntry& entry, std::uint64_t offset, char* buffer, std::size_t size);

 protected:
  bool OpenFile(const std::string& imageFile);
  bool ReadSectors(std::uint32_t sector, std::size_t bytes, std::string* out);
  // The entries of a folder found by its entry.
  virtual bool Entries(const DiscEntry& folder, std::vector<DiscEntry>* entries) = 0;

  std::unique_ptr<LocalFile> file_;
  DiscEntry root_;
};

}  // namespace quarnel::disc
