// Auto-verify's UDF reader over damaged images: a small image of our own writer whose
// metadata the input changes byte by byte (records of segment, offset and value), its tags
// then sealed again with a right checksum and CRC when the input asks, so that damage
// reaches past the tag checks. The reader opens it, walks its folders and reads its files.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "disc/DiscImage.h"
#include "disc/ImageTree.h"
#include "disc/UdfFormat.h"
#include "disc/UdfReader.h"

namespace {

using namespace quarnel::disc;

struct Template {
  Template() {
    char pattern[] = "/tmp/quarnel-fuzz-udf-XXXXXX";
    folder = mkdtemp(pattern);
    image = folder + "/image.iso";
    const std::pair<const char*, std::size_t> files[] = {{"a.soe", 5000}, {"empty.txt", 0}, {"deep.bin", 3000}};
    for (const auto& [name, size] : files) std::ofstream(folder + "/" + name) << std::string(size, 'q');
    EngineListener quiet;
    ImageTree tree(quiet);
    tree.AddFile(folder + "/a.soe", "\\a.soe");
    tree.AddFile(folder + "/empty.txt", "\\Mail\\caf\xE9.txt");
    tree.AddFile(folder + "/deep.bin", "\\Mail\\Deep\\deep.bin");
    ImageOptions options;
    options.iso9660 = false;
    options.udf = true;
    DiscImage layout(tree.RootNode(), options);
    bytes.resize(layout.Bytes());
    ImageStream stream(layout);
    std::size_t read = 0;
    FileError error;
    stream.Read(0, bytes.data(), bytes.size(), &read, &error);
    for (const DiscImage::Segment& s : layout.Segments()) {
      if (s.file < 0) metadata.emplace_back(s.first * 2048u, s.count * 2048u);
    }
  }
  std::string folder, image, bytes;
  std::vector<std::pair<std::size_t, std::size_t>> metadata;  // offset, length
};

bool KnownTag(std::uint16_t id) { return (id >= 1 && id <= 9) || (id >= 256 && id <= 266); }

// Gives every tag-like run in the metadata a right CRC (over its recorded length, cut to
// what its segment holds) and checksum.
void Seal(std::string& image, const std::vector<std::pair<std::size_t, std::size_t>>& metadata) {
  for (const auto& [offset, length] : metadata) {
    for (std::size_t at = 0; at + udf::kTagSize <= length; at += 4) {
      auto p = reinterpret_cast<unsigned char*>(&image[offset + at]);
      if (!KnownTag(udf::Get16(p)) || udf::Get16(p + 2) != 2) continue;
      std::size_t covered = std::min<std::size_t>(udf::Get16(p + 10), length - at - udf::kTagSize);
      udf::Put16(image, offset + at + 8, udf::Crc(p + udf::kTagSize, covered));
      udf::Put16(image, offset + at + 10, static_cast<std::uint16_t>(covered));
      unsigned sum = 0;
      for (int i = 0; i < 16; ++i) sum += i == 4 ? 0 : p[i];
      p[4] = static_cast<unsigned char>(sum);
    }
  }
}

void Walk(UdfReader& reader, std::vector<std::string>& path, int* budget) {
  std::vector<DiscEntry> entries;
  if (path.size() > 8 || !reader.List(path, &entries)) return;
  for (const DiscEntry& e : entries) {
    if (--*budget < 0) return;
    if (e.folder) {
      path.push_back(e.id);
      Walk(reader, path, budget);
      path.pop_back();
    } else {
      std::string data(static_cast<std::size_t>(std::min<std::uint64_t>(e.size, 1 << 16)), '\0');
      reader.ReadFile(e, 0, data.data(), data.size());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Template base;
  std::string image = base.bytes;
  for (std::size_t at = 0; at + 4 <= size; at += 4) {
    const auto& [offset, length] = base.metadata[data[at] % base.metadata.size()];
    image[offset + ((data[at + 1] << 8 | data[at + 2]) % length)] = static_cast<char>(data[at + 3]);
  }
  if (size % 4 == 1 && data[size - 1] % 2 == 1) Seal(image, base.metadata);
  std::ofstream(base.image, std::ios::binary | std::ios::trunc).write(image.data(), image.size());
  UdfReader reader;
  if (reader.Open(base.image)) {
    std::vector<std::string> path;
    int budget = 64;
    Walk(reader, path, &budget);
  }
  return 0;
}
