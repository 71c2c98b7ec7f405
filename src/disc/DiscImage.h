#pragma once
// A disc image laid out from an image tree: ISO9660 (level 2, with multi-extent records for
// files of 4 GiB and more) with optionally Joliet, UDF 1.02 (UdfTree), or both. The file data
// is laid out once; each file system tree is a set of metadata sectors pointing at it.
// Everything but the file data is rendered in memory at lay-out; ImageStream then produces
// the image bytes in order, reading each source file once.
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "disc/DiscEngine.h"
#include "disc/ImageTree.h"
#include "disc/LocalFiles.h"

namespace quarnel::disc {

struct ImageOptions {
  bool iso9660 = true;
  bool joliet = true;  // with iso9660 only
  bool udf = false;
  std::string volumeId;
  bool useFileDates = true;
  std::time_t created = 0;
};

// The options of an image written with the writer's settings, created now.
ImageOptions OptionsFor(const WriterSettings& settings);

struct ImageFile {
  std::string imagePath;
  std::string source;
  std::uint64_t size = 0;
  std::time_t modified = 0;
  std::uint32_t sector = 0;  // first sector of its data
  // Its identifiers from the root down in the tree that readers take first (UDF when
  // written, else Joliet when written, else ISO9660), as recorded.
  std::vector<std::string> discPath;
};

class DiscImage {
 public:
  DiscImage(const ImageNode& root, const ImageOptions& options);
  ~DiscImage();

  std::uint32_t Sectors() const { return sectors_; }
  std::uint64_t Bytes() const { return static_cast<std::uint64_t>(sectors_) * 2048; }
  const std::vector<ImageFile>& Files() const { return files_; }
  bool HasJoliet() const { return options_.iso9660 && options_.joliet; }
  bool HasUdf() const { return options_.udf; }

  struct Segment {
    std::uint32_t first = 0;
    std::uint32_t count = 0;
    int file = -1;      // index into Files(), or -1 for metadata
    std::string bytes;  // metadata; zeros follow when shorter than its sectors
  };
  const std::vector<Segment>& Segments() const { return segments_; }

 private:
  struct Tree;
  // Files folder by folder from the root down, and where each stands in Files().
  void CollectFiles(const ImageNode& root, std::map<const ImageNode*, int>* index);
  void AddMetadata(std::uint32_t first, std::uint32_t count, std::string bytes);

  ImageOptions options_;
  std::vector<ImageFile> files_;
  std::vector<Segment> segments_;
  std::uint32_t sectors_ = 0;
};

// The bytes of an image, in order or from any position.
class ImageStream {
 public:
  explicit ImageStream(const DiscImage& image) : image_(image) {}

  // Copies up to size bytes from offset (fewer only at the image's end) into buffer and sets
  // *read. False on a source file that cannot be read or has changed since the lay-out;
  // *error then tells which and why.
  bool Read(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read, FileError* error);
  // The file whose data the last read reached, -1 before any.
  int CurrentFile() const { return current_; }

 private:
  bool ReadFile(int index, std::uint64_t offset, char* buffer, std::size_t size, FileError* error);

  const DiscImage& image_;
  std::unique_ptr<LocalFile> open_;
  int openIndex_ = -1;
  int current_ = -1;
  std::uint64_t openPosition_ = 0;
};

}  // namespace quarnel::disc
