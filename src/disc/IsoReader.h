#pragma once
// Reads an ISO9660 image back: its Joliet tree when it has one, else the primary tree.
// Files are found by their recorded identifiers and read as streams; multi-extent files
// are joined. Used to verify what was written.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "disc/LocalFiles.h"

namespace quarnel::disc {

struct IsoEntry {
  std::string id;  // as recorded (Joliet: UCS-2 big-endian)
  bool folder = false;
  std::uint64_t size = 0;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // sector, bytes
};

class IsoReader {
 public:
  // False when the file cannot be opened or holds no ISO9660 volume.
  bool Open(const std::string& imageFile);
  bool Joliet() const { return joliet_; }
  std::string VolumeId() const { return volumeId_; }

  // Entries of the folder at the identifiers' path (empty: the root); false when missing.
  bool List(const std::vector<std::string>& path, std::vector<IsoEntry>* entries);
  bool Find(const std::vector<std::string>& path, IsoEntry* entry);
  // Reads bytes of a file's data from its start + offset; bytes read.
  std::size_t ReadFile(const IsoEntry& entry, std::uint64_t offset, char* buffer, std::size_t size);

 private:
  bool ReadSectors(std::uint32_t sector, std::size_t bytes, std::string* out);
  bool Directory(std::uint32_t sector, std::uint32_t size, std::vector<IsoEntry>* entries);

  std::unique_ptr<LocalFile> file_;
  bool joliet_ = false;
  std::string volumeId_;
  IsoEntry root_;
  std::map<std::uint32_t, std::vector<IsoEntry>> directories_;  // by first sector
};

}  // namespace quarnel::disc
