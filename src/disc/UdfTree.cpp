#include "disc/UdfTree.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "disc/IsoNames.h"

namespace quarnel::disc {

using iso::kSectorSize;
using namespace udf;

namespace {

constexpr std::uint32_t kMainSequence = 32;
constexpr std::uint32_t kReserveSequence = 48;
constexpr std::uint32_t kSequenceSectors = 16;
constexpr std::uint32_t kIntegritySector = 64;
constexpr std::uint32_t kDescriptorCount = 6;  // primary, implementation use, partition, logical volume,
                                               // unallocated space, terminator
constexpr std::size_t kFileEntryHeader = 176;
constexpr std::size_t kExtentHeader = 24;
constexpr std::size_t kShortAd = 8;
constexpr std::size_t kEntryRoom = (kSectorSize - kFileEntryHeader) / kShortAd;
constexpr std::size_t kExtentRoom = (kSectorSize - kExtentHeader) / kShortAd;
constexpr std::uint32_t kContinuation = 3u << 30;  // the next extent of allocation descriptors
constexpr std::uint32_t kFirstUniqueId = 16;       // 1 to 15 are reserved
constexpr std::uint16_t kFileReadable = 0x1084;    // read for others, group and owner
constexpr std::uint16_t kFolderReadable = 0x14A5;  // read and execute for all three
constexpr char kImplementation[] = "*Quarnel Backup";
constexpr char kDomain[] = "*OSTA UDF Compliant";

std::uint32_t BlocksFor(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

std::size_t IdentifierSize(const std::string& id) { return (38 + id.size() + 3) / 4 * 4; }

std::size_t ExtentCount(std::uint64_t size) { return static_cast<std::size_t>((size + kMaxExtent - 1) / kMaxExtent); }

// Blocks of allocation extent descriptors that a file of so many extents needs beyond its entry.
std::uint32_t ExtraBlocks(std::size_t extents) {
  if (extents <= kEntryRoom) return 0;
  std::size_t left = extents - (kEntryRoom - 1);
  std::uint32_t blocks = 1;
  for (; left > kExtentRoom; left -= kExtentRoom - 1) ++blocks;
  return blocks;
}

void PutShortAd(std::string& d, std::size_t at, std::uint32_t length, std::uint32_t position) {
  Put32(d, at, length);
  Put32(d, at + 4, position);
}

void PutLongAd(std::string& d, std::size_t at, std::uint32_t length, std::uint32_t block, std::uint32_t uniqueId) {
  Put32(d, at, length);
  Put32(d, at + 4, block);  // partition reference 0 follows
  Put32(d, at + 12, uniqueId);
}

std::u16string VolumeText(const ImageOptions& options) { return iso::AnsiToUtf16(options.volumeId); }

}  // namespace

void UdfTree::Build(const ImageNode& root, const std::map<const ImageNode*, int>& fileIndex,
                    std::vector<ImageFile>& files, bool preferred) {
  entries_.assign(1, Entry{});
  entries_[0].node = &root;
  folders_ = 1;
  auto pathOf = [this](int at) {
    std::vector<std::string> path;
    for (; at != 0; at = entries_[at].parent) path.push_back(entries_[at].id);
    std::reverse(path.begin(), path.end());
    return path;
  };
  for (std::size_t d = 0; d < entries_.size(); ++d) {
    if (entries_[d].file >= 0) continue;
    iso::UniqueNames taken;
    for (const auto& [key, child] : entries_[d].node->children) {
      // Image names hold neither '/' nor NUL, the two characters UDF refuses.
      std::u16string name = iso::AnsiToUtf16(child->name);
      Entry e;
      e.node = child.get();
      e.file = child->isFolder ? -1 : fileIndex.at(child.get());
      e.parent = static_cast<int>(d);
      e.id = Cs0(iso::FittedName(name, child->isFolder, Cs0Room(name, 255), taken));
      e.uniqueId = kFirstUniqueId + static_cast<std::uint32_t>(entries_.size() - 1);
      auto at = static_cast<int>(entries_.size());
      entries_.push_back(std::move(e));
      entries_[d].children.push_back(at);
      if (child->isFolder) {
        ++entries_[d].links;
        ++folders_;
      } else if (preferred) {
        files[entries_[at].file].discPath = pathOf(at);
      }
    }
  }
}

std::uint64_t UdfTree::SizeOf(const Entry& e, const std::vector<ImageFile>& files) const {
  return e.file >= 0 ? files[e.file].size : e.dataBytes;
}

std::uint32_t UdfTree::FirstBlockOf(const Entry& e, const std::vector<ImageFile>& files) const {
  return e.file >= 0 ? files[e.file].sector - kPartitionStart : e.data;
}

std::uint32_t UdfTree::LayOut(std::uint32_t next, const std::vector<ImageFile>& files) {
  auto place = [&next, &files, this](Entry& e) {
    e.entry = next - kPartitionStart;
    e.moreBlocks = ExtraBlocks(ExtentCount(SizeOf(e, files)));
    next += 1 + e.moreBlocks;
  };
  for (Entry& folder : entries_) {
    if (folder.file >= 0) continue;
    folder.dataBytes = static_cast<std::uint32_t>(IdentifierSize(""));
    for (int child : folder.children) {
      folder.dataBytes += static_cast<std::uint32_t>(IdentifierSize(entries_[child].id));
    }
    place(folder);
    folder.data = next - kPartitionStart;
    next += BlocksFor(folder.dataBytes);
    for (int child : folder.children) {
      if (entries_[child].file >= 0) place(entries_[child]);
    }
  }
  return next;
}

void UdfTree::FileEntry(const Entry& e, const std::vector<ImageFile>& files, const ImageOptions& options,
                        const Sink& add) const {
  const std::uint64_t size = SizeOf(e, files);
  const std::uint32_t first = FirstBlockOf(e, files);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> extents;  // length, block
  for (std::uint64_t at = 0; at < size; at += kMaxExtent) {
    extents.emplace_back(static_cast<std::uint32_t>(std::min<std::uint64_t>(kMaxExtent, size - at)),
                         first + static_cast<std::uint32_t>(at / kSectorSize));
  }
  // Descriptors that do not fit the entry continue in the blocks after it.
  std::vector<std::string> blocks;
  std::size_t done = 0;
  for (std::uint32_t k = 0; k <= e.moreBlocks; ++k) {
    const std::size_t header = k == 0 ? kFileEntryHeader : kExtentHeader;
    const std::size_t room = k == 0 ? kEntryRoom : kExtentRoom;
    const bool last = k == e.moreBlocks;
    const std::size_t here = last ? extents.size() - done : room - 1;
    std::string d(header + (here + (last ? 0 : 1)) * kShortAd, '\0');
    for (std::size_t i = 0; i < here; ++i, ++done) {
      PutShortAd(d, header + i * kShortAd, extents[done].first, extents[done].second);
    }
    if (!last) PutShortAd(d, header + here * kShortAd, kContinuation | kSectorSize, e.entry + k + 1);
    blocks.push_back(std::move(d));
  }
  for (std::uint32_t k = 1; k <= e.moreBlocks; ++k) {
    std::string& d = blocks[k];
    Put32(d, 16, e.entry + k - 1);
    Put32(d, 20, static_cast<std::uint32_t>(d.size() - kExtentHeader));
    SetTag(d, 0, kTagAllocationExtent, e.entry + k, d.size());
  }

  std::string& d = blocks[0];
  const bool folder = e.file < 0;
  Put16(d, 20, 4);  // strategy: one direct entry
  Put16(d, 24, 1);
  d[27] = static_cast<char>(folder ? kTypeDirectory : kTypeFile);
  Put32(d, 36, 0xFFFFFFFF);  // owner and group unknown
  Put32(d, 40, 0xFFFFFFFF);
  Put32(d, 44, folder ? kFolderReadable : kFileReadable);
  Put16(d, 48, e.links);
  Put64(d, 56, size);
  Put64(d, 64, BlocksFor(size));
  std::time_t date = options.useFileDates && e.node->modified != 0 ? e.node->modified : options.created;
  for (std::size_t at : {72, 84, 96}) PutTimestamp(d, at, date);
  Put32(d, 108, 1);  // checkpoint
  PutRegid(d, 128, kImplementation, false);
  Put64(d, 160, e.uniqueId);
  Put32(d, 172, static_cast<std::uint32_t>(d.size() - kFileEntryHeader));
  SetTag(d, 0, kTagFileEntry, e.entry, d.size());
  for (std::uint32_t k = 0; k <= e.moreBlocks; ++k) add(kPartitionStart + e.entry + k, 1, std::move(blocks[k]));
}

std::string UdfTree::Identifiers(const Entry& folder) const {
  std::string out;
  auto put = [&out, &folder](std::uint8_t characteristics, const std::string& id, const Entry& target) {
    std::string d(IdentifierSize(id), '\0');
    Put16(d, 16, 1);  // file version
    d[18] = static_cast<char>(characteristics);
    d[19] = static_cast<char>(id.size());
    PutLongAd(d, 20, kSectorSize, target.entry, target.uniqueId);
    std::memcpy(&d[38], id.data(), id.size());
    SetTag(d, 0, kTagFileIdentifier, folder.data + static_cast<std::uint32_t>(out.size() / kSectorSize), d.size());
    out += d;
  };
  put(kCharDirectory | kCharParent, "", entries_[folder.parent]);
  for (int child : folder.children) {
    const Entry& e = entries_[child];
    put(e.file < 0 ? kCharDirectory : 0, e.id, e);
  }
  return out;
}

void UdfTree::VolumeDescriptors(std::uint32_t first, std::uint32_t volumeSectors, const ImageOptions& options,
                                const Sink& add) const {
  const std::u16string volume = VolumeText(options);
  std::string out(kDescriptorCount * kSectorSize, '\0');
  std::uint32_t number = 0;
  auto descriptor = [&](TagId id, std::size_t length, const std::function<void(std::string&)>& fill) {
    std::string d(length, '\0');
    Put32(d, 16, number);
    fill(d);
    SetTag(d, 0, id, first + number, d.size());
    std::memcpy(&out[number * kSectorSize], d.data(), d.size());
    ++number;
  };
  descriptor(kTagPrimaryVolume, 512, [&](std::string& d) {
    PutDString(d, 24, 32, volume);
    Put16(d, 56, 1);  // volume 1 of 1
    Put16(d, 58, 1);
    Put16(d, 60, 2);  // interchange level
    Put16(d, 62, 3);
    Put32(d, 64, 1);  // character set lists
    Put32(d, 68, 1);
    // A volume set identifier begins with 16 characters that make it unique.
    char unique[17];
    std::snprintf(unique, sizeof unique, "%08X%08X", static_cast<unsigned>(options.created),
                  static_cast<unsigned>(volumeSectors));
    PutDString(d, 72, 128, std::u16string(unique, unique + 16));
    PutCharspec(d, 200);
    PutCharspec(d, 264);
    PutTimestamp(d, 376, options.created);
    PutRegid(d, 388, kImplementation, false);
  });
  descriptor(kTagImplementationUse, 512, [&](std::string& d) {
    PutRegid(d, 20, "*UDF LV Info", true);
    PutCharspec(d, 52);
    PutDString(d, 116, 128, volume);
    PutRegid(d, 352, kImplementation, false);
  });
  descriptor(kTagPartition, 512, [&](std::string& d) {
    Put16(d, 20, 1);  // allocated
    PutRegid(d, 24, "+NSR02", false);
    Put32(d, 184, 1);  // read-only
    Put32(d, 188, kPartitionStart);
    Put32(d, 192, volumeSectors - 1 - kPartitionStart);
    PutRegid(d, 196, kImplementation, false);
  });
  descriptor(kTagLogicalVolume, 446, [&](std::string& d) {
    PutCharspec(d, 20);
    PutDString(d, 84, 128, volume);
    Put32(d, 212, kSectorSize);
    PutRegid(d, 216, kDomain, true);
    PutLongAd(d, 248, 2 * kSectorSize, 0, 0);  // the file set descriptor and its terminator
    Put32(d, 264, 6);
    Put32(d, 268, 1);
    PutRegid(d, 272, kImplementation, false);
    Put32(d, 432, 2 * kSectorSize);
    Put32(d, 436, kIntegritySector);
    d[440] = 1;  // type 1 map of partition 0 on volume 1
    d[441] = 6;
    Put16(d, 442, 1);
  });
  descriptor(kTagUnallocatedSpace, 24, [](std::string&) {});
  descriptor(kTagTerminating, 512, [](std::string&) {});
  add(first, kDescriptorCount, std::move(out));
}

std::string UdfTree::Integrity(std::uint32_t volumeSectors, const ImageOptions& options) const {
  std::string d(134, '\0');
  PutTimestamp(d, 16, options.created);
  Put32(d, 28, 1);                                 // closed
  Put64(d, 40, kFirstUniqueId + entries_.size());  // the next unique identifier
  Put32(d, 72, 1);
  Put32(d, 76, 46);
  Put32(d, 84, volumeSectors - 1 - kPartitionStart);
  PutRegid(d, 88, kImplementation, false);
  Put32(d, 120, static_cast<std::uint32_t>(entries_.size()) - static_cast<std::uint32_t>(folders_));
  Put32(d, 124, static_cast<std::uint32_t>(folders_));
  for (std::size_t at : {128, 130, 132}) Put16(d, at, 0x0102);
  SetTag(d, 0, kTagIntegrity, kIntegritySector, d.size());
  std::string out(2 * kSectorSize, '\0');
  std::memcpy(out.data(), d.data(), d.size());
  std::string end(512, '\0');
  SetTag(end, 0, kTagTerminating, kIntegritySector + 1, end.size());
  std::memcpy(&out[kSectorSize], end.data(), end.size());
  return out;
}

std::string UdfTree::FileSet(const ImageOptions& options) const {
  const std::u16string volume = VolumeText(options);
  std::string d(512, '\0');
  PutTimestamp(d, 16, options.created);
  Put16(d, 28, 3);  // interchange level
  Put16(d, 30, 3);
  Put32(d, 32, 1);  // character set lists
  Put32(d, 36, 1);
  PutCharspec(d, 48);
  PutDString(d, 112, 128, volume);
  PutCharspec(d, 240);
  PutDString(d, 304, 32, volume);
  PutLongAd(d, 400, kSectorSize, entries_[0].entry, 0);
  PutRegid(d, 416, kDomain, true);
  SetTag(d, 0, kTagFileSet, 0, d.size());
  std::string out(2 * kSectorSize, '\0');
  std::memcpy(out.data(), d.data(), d.size());
  std::string end(512, '\0');
  SetTag(end, 0, kTagTerminating, 1, end.size());
  std::memcpy(&out[kSectorSize], end.data(), end.size());
  return out;
}

void UdfTree::Render(std::uint32_t recognitionSector, std::uint32_t volumeSectors, const std::vector<ImageFile>& files,
                     const ImageOptions& options, const Sink& add) const {
  std::string recognition(kRecognitionSectors * kSectorSize, '\0');
  const char* ids[] = {"BEA01", "NSR02", "TEA01"};
  for (std::size_t k = 0; k < kRecognitionSectors; ++k) {
    std::memcpy(&recognition[k * kSectorSize + 1], ids[k], 5);
    recognition[k * kSectorSize + 6] = 1;
  }
  add(recognitionSector, kRecognitionSectors, std::move(recognition));
  VolumeDescriptors(kMainSequence, volumeSectors, options, add);
  VolumeDescriptors(kReserveSequence, volumeSectors, options, add);
  add(kIntegritySector, 2, Integrity(volumeSectors, options));
  for (std::uint32_t sector : {kAnchorSector, volumeSectors - 1}) {
    std::string anchor(512, '\0');
    Put32(anchor, 16, kSequenceSectors * kSectorSize);
    Put32(anchor, 20, kMainSequence);
    Put32(anchor, 24, kSequenceSectors * kSectorSize);
    Put32(anchor, 28, kReserveSequence);
    SetTag(anchor, 0, kTagAnchor, sector, anchor.size());
    add(sector, 1, std::move(anchor));
  }
  add(kPartitionStart, 2, FileSet(options));
  for (const Entry& e : entries_) {
    FileEntry(e, files, options, add);
    if (e.file < 0) add(kPartitionStart + e.data, BlocksFor(e.dataBytes), Identifiers(e));
  }
}

}  // namespace quarnel::disc
