#include "disc/UdfReader.h"

#include <algorithm>

#include "disc/IsoNames.h"
#include "disc/UdfFormat.h"

namespace quarnel::disc {

using iso::kSectorSize;
using namespace udf;

namespace {

constexpr std::uint32_t kMaxSequence = 64;  // sectors of a volume descriptor sequence read at most
constexpr int kMaxExtentChain = 1024;       // allocation extent descriptors followed at most
// A folder larger than this is taken for damage.
constexpr std::uint64_t kMaxDirectory = 64 * 1024 * 1024;

}  // namespace

bool UdfReader::Open(const std::string& imageFile) {
  LocalEntry facts;
  if (!StatPath(imageFile, &facts) || facts.isFolder || !OpenFile(imageFile)) return false;
  if (!ReadVolume(facts.size)) {
    file_.reset();
    return false;
  }
  return true;
}

bool UdfReader::ReadVolume(std::uint64_t fileSize) {
  const auto last = static_cast<std::uint32_t>(std::min<std::uint64_t>(fileSize / kSectorSize, 0xFFFFFFFF));
  for (std::uint32_t sector : {kAnchorSector, last - 1}) {
    std::string anchor;
    if (last <= sector || !ReadSectors(sector, kSectorSize, &anchor)) continue;
    auto p = reinterpret_cast<const unsigned char*>(anchor.data());
    if (!ValidTag(p, anchor.size(), kTagAnchor, sector)) continue;
    for (std::size_t at : {16, 24}) {  // the main sequence, then the reserve
      if (!ReadSequence(Get32(p + at + 4), Get32(p + at) / kSectorSize)) continue;
      std::string set;
      if (!ReadBlock(fileSet_, &set)) continue;
      auto s = reinterpret_cast<const unsigned char*>(set.data());
      if (ValidTag(s, set.size(), kTagFileSet, fileSet_) && ReadEntry(Get32(s + 404), &root_) && root_.folder) {
        return true;
      }
    }
  }
  return false;
}

bool UdfReader::ReadSequence(std::uint32_t first, std::uint32_t length) {
  havePartition_ = haveVolume_ = false;
  std::uint32_t mapped = 0;
  for (std::uint32_t i = 0; i < std::min(length, kMaxSequence); ++i) {
    std::string d;
    if (!ReadSectors(first + i, kSectorSize, &d)) return false;
    auto p = reinterpret_cast<const unsigned char*>(d.data());
    const std::uint16_t id = Get16(p);
    if (id == kTagTerminating || !ValidTag(p, d.size(), static_cast<TagId>(id), first + i)) break;
    if (id == kTagPartition) {
      partitionNumber_ = Get16(p + 22);
      partitionStart_ = Get32(p + 188);
      partitionLength_ = Get32(p + 192);
      havePartition_ = true;
    } else if (id == kTagLogicalVolume) {
      // One block size this reader knows, and a first map of type 1.
      haveVolume_ = Get32(p + 212) == kSectorSize && p[440] == 1;
      mapped = Get16(p + 444);
      fileSet_ = Get32(p + 252);
      volumeId_ = GetDString(p + 84, 128);
    }
  }
  return havePartition_ && haveVolume_ && mapped == partitionNumber_;
}

bool UdfReader::ReadBlock(std::uint32_t block, std::string* out) {
  return block < partitionLength_ && ReadSectors(partitionStart_ + block, kSectorSize, out);
}

bool UdfReader::AddExtents(const unsigned char* p, std::size_t length, int kind, int depth, DiscEntry* entry) {
  const std::size_t step = kind == 0 ? 8 : kind == 1 ? 16 : 0;  // short or long descriptors
  if (step == 0 || depth > kMaxExtentChain) return false;
  for (std::size_t at = 0; at + step <= length; at += step) {
    const std::uint32_t bytes = Get32(p + at) & 0x3FFFFFFF;
    const std::uint32_t type = Get32(p + at) >> 30;
    const std::uint32_t block = Get32(p + at + 4);
    if (bytes == 0) break;
    if (type == 3) {  // continued in an allocation extent descriptor
      std::string more;
      if (!ReadBlock(block, &more)) return false;
      auto q = reinterpret_cast<const unsigned char*>(more.data());
      const std::uint32_t count = Get32(q + 20);
      if (!ValidTag(q, more.size(), kTagAllocationExtent, block) ||
          24 + static_cast<std::uint64_t>(count) > kSectorSize) {
        return false;
      }
      return AddExtents(q + 24, count, kind, depth + 1, entry);
    }
    // Only recorded extents hold the data; within the partition.
    if (type != 0 || block >= partitionLength_ || (bytes - 1) / kSectorSize >= partitionLength_ - block) return false;
    entry->extents.emplace_back(partitionStart_ + block, bytes);
  }
  return true;
}

bool UdfReader::ReadEntry(std::uint32_t block, DiscEntry* entry) {
  std::string d;
  if (!ReadBlock(block, &d)) return false;
  auto p = reinterpret_cast<const unsigned char*>(d.data());
  if (!ValidTag(p, d.size(), kTagFileEntry, block)) return false;
  if (p[27] != kTypeDirectory && p[27] != kTypeFile) return false;
  const std::uint64_t descriptors = static_cast<std::uint64_t>(Get32(p + 168)) + Get32(p + 172);
  if (176 + descriptors > kSectorSize) return false;
  DiscEntry e;
  e.folder = p[27] == kTypeDirectory;
  e.size = Get64(p + 56);
  if (!AddExtents(p + 176 + Get32(p + 168), Get32(p + 172), Get16(p + 34) & 7, 0, &e)) return false;
  // The extents cover the size; what lies beyond it is not the file's.
  std::uint64_t left = e.size;
  for (auto& extent : e.extents) {
    extent.second = static_cast<std::uint32_t>(std::min<std::uint64_t>(extent.second, left));
    left -= extent.second;
  }
  if (left != 0) return false;
  std::erase_if(e.extents, [](const auto& extent) { return extent.second == 0; });
  e.id = entry->id;
  *entry = std::move(e);
  return true;
}

bool UdfReader::Entries(const DiscEntry& directory, std::vector<DiscEntry>* entries) {
  if (directory.extents.empty() || directory.size > kMaxDirectory) return false;
  auto cached = directories_.find(directory.extents[0].first);
  if (cached != directories_.end()) {
    *entries = cached->second;
    return true;
  }
  std::string data(static_cast<std::size_t>(directory.size), '\0');
  if (ReadFile(directory, 0, data.data(), data.size()) != data.size()) return false;
  // The block each byte of the folder lies in, as tags record it.
  auto blockAt = [&directory, this](std::size_t offset) {
    for (const auto& [sector, bytes] : directory.extents) {
      if (offset < bytes) return sector - partitionStart_ + static_cast<std::uint32_t>(offset / kSectorSize);
      offset -= bytes;
    }
    return 0u;
  };
  entries->clear();
  for (std::size_t at = 0; at + 38 <= data.size();) {
    auto p = reinterpret_cast<const unsigned char*>(data.data() + at);
    const std::size_t length = (38 + static_cast<std::size_t>(Get16(p + 36)) + p[19] + 3) / 4 * 4;
    if (length > data.size() - at || !ValidTag(p, length, kTagFileIdentifier, blockAt(at))) return false;
    if ((p[18] & (kCharDeleted | kCharParent)) == 0) {
      DiscEntry e;
      e.id.assign(reinterpret_cast<const char*>(p + 38 + Get16(p + 36)), p[19]);
      if (ReadEntry(Get32(p + 24), &e)) entries->push_back(std::move(e));
    }
    at += length;
  }
  directories_[directory.extents[0].first] = *entries;
  return true;
}

}  // namespace quarnel::disc
