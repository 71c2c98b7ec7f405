#pragma once
// Reads an ISO9660 image back: its Joliet tree when it has one, else the primary tree.
// Files are found by their recorded identifiers (Joliet: UCS-2 big-endian) and read as
// streams; multi-extent files are joined. Used to verify what was written.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "disc/DiscReader.h"

namespace quarnel::disc {

class IsoReader final : public DiscReader {
 public:
  // False when the file cannot be opened or holds no ISO9660 volume.
  bool Open(const std::string& imageFile);
  bool Joliet() const { return joliet_; }
  std::string VolumeId() const { return volumeId_; }

 private:
  bool Entries(const DiscEntry& folder, std::vector<DiscEntry>* entries) override;

  bool joliet_ = false;
  std::string volumeId_;
  std::map<std::uint32_t, std::vector<DiscEntry>> directories_;  // by first sector
};

}  // namespace quarnel::disc
