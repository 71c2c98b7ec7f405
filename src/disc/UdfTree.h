#pragma once
// The UDF 1.02 tree of an image over the file data that the image lays out once: the volume
// recognition sequence, the main and reserve volume descriptor sequences, the integrity
// descriptor, the anchors at sector 256 and at the last sector, and in the partition (from
// sector 257 to the last anchor) the file set descriptor, a file entry per folder and file
// and the folders' file identifier descriptors.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "disc/DiscImage.h"
#include "disc/UdfFormat.h"

namespace quarnel::disc {

class UdfTree {
 public:
  static constexpr std::uint32_t kRecognitionSectors = 3;
  static constexpr std::uint32_t kPartitionStart = udf::kAnchorSector + 1;
  // The file set descriptor and its terminator open the partition.
  static constexpr std::uint32_t kFirstFree = kPartitionStart + 2;

  // Names every folder and file; when preferred, each file's discPath becomes its UDF
  // identifiers (CS0 bytes).
  void Build(const ImageNode& root, const std::map<const ImageNode*, int>& fileIndex, std::vector<ImageFile>& files,
             bool preferred);
  // Places the file entries and folders from sector next on; the next free sector.
  std::uint32_t LayOut(std::uint32_t next, const std::vector<ImageFile>& files);

  // Every piece of metadata by its first sector, once the image's sectors are known (the
  // last one is the closing anchor). A piece may be shorter than its sectors: zeros follow.
  using Sink = std::function<void(std::uint32_t sector, std::uint32_t count, std::string bytes)>;
  void Render(std::uint32_t recognitionSector, std::uint32_t volumeSectors, const std::vector<ImageFile>& files,
              const ImageOptions& options, const Sink& add) const;

 private:
  struct Entry {
    const ImageNode* node = nullptr;
    int file = -1;  // index into the image's files; -1 for a folder
    int parent = 0;
    std::string id;                // CS0
    std::uint32_t entry = 0;       // block of the file entry, in the partition
    std::uint32_t moreBlocks = 0;  // allocation extent blocks after it
    std::uint32_t uniqueId = 0;
    // Folders:
    std::vector<int> children;
    std::uint32_t data = 0;  // first block of the identifiers
    std::uint32_t dataBytes = 0;
    std::uint16_t links = 1;
  };

  std::uint64_t SizeOf(const Entry& e, const std::vector<ImageFile>& files) const;
  std::uint32_t FirstBlockOf(const Entry& e, const std::vector<ImageFile>& files) const;
  void FileEntry(const Entry& e, const std::vector<ImageFile>& files, const ImageOptions& options,
                 const Sink& add) const;
  std::string Identifiers(const Entry& folder) const;
  void VolumeDescriptors(std::uint32_t first, std::uint32_t volumeSectors, const ImageOptions& options,
                         const Sink& add) const;
  std::string Integrity(std::uint32_t volumeSectors, const ImageOptions& options) const;
  std::string FileSet(const ImageOptions& options) const;

  std::vector<Entry> entries_;  // folders before their contents; 0 is the root
  int folders_ = 0;
};

}  // namespace quarnel::disc
