#pragma once
// Reads the UDF tree of an image back: the anchor at sector 256 (or at the last sector), the
// main (else the reserve) volume descriptor sequence, the file set, then file entries and
// folders' file identifier descriptors. Every descriptor's tag, checksum and CRC must be
// right. Identifiers are the recorded CS0 bytes. Used to verify what was written.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "disc/DiscReader.h"

namespace quarnel::disc {

class UdfReader final : public DiscReader {
 public:
  // False when the file cannot be opened or holds no UDF volume that this reader can read.
  bool Open(const std::string& imageFile);
  // The logical volume's identifier.
  std::u16string VolumeId() const { return volumeId_; }

 private:
  bool ReadVolume(std::uint64_t fileSize);
  bool ReadSequence(std::uint32_t first, std::uint32_t length);
  bool ReadBlock(std::uint32_t block, std::string* out);
  // A file entry: what it is, its size and its data's extents.
  bool ReadEntry(std::uint32_t block, DiscEntry* entry);
  bool AddExtents(const unsigned char* p, std::size_t length, int kind, int depth, DiscEntry* entry);
  bool Entries(const DiscEntry& directory, std::vector<DiscEntry>* entries) override;

  std::uint32_t partitionNumber_ = 0, partitionStart_ = 0, partitionLength_ = 0;
  std::uint32_t fileSet_ = 0;
  bool havePartition_ = false, haveVolume_ = false;
  std::u16string volumeId_;
  std::map<std::uint32_t, std::vector<DiscEntry>> directories_;  // by first sector
};

}  // namespace quarnel::disc
