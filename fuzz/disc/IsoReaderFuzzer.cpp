// Auto-verify's ISO9660/Joliet reader over damaged images: a small image of our own writer
// (a primary tree and a Joliet tree) whose metadata the input changes byte by byte (records
// of segment, offset and value). The reader opens it, walks its folders and reads its
// files, through the Joliet tree and, when the input ends with an odd byte, with the Joliet
// descriptor spoilt so that the primary tree is read instead.
#include <stdlib.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "disc/DiscImage.h"
#include "disc/ImageTree.h"
#include "disc/IsoReader.h"

namespace {

using namespace quarnel::disc;

struct Template {
  Template() {
    char pattern[] = "/tmp/quarnel-fuzz-iso-XXXXXX";
    folder = mkdtemp(pattern);
    image = folder + "/image.iso";
    const std::pair<const char*, std::size_t> files[] = {{"a.soe", 5000}, {"empty.txt", 0}, {"deep.bin", 3000}};
    for (const auto& [name, size] : files) std::ofstream(folder + "/" + name) << std::string(size, 'q');
    EngineListener quiet;
    ImageTree tree(quiet);
    tree.AddFile(folder + "/a.soe", "\\a.soe");
    tree.AddFile(folder + "/empty.txt", "\\Mail\\caf\xE9 with a long name.txt");
    tree.AddFile(folder + "/deep.bin", "\\Mail\\Deep\\deep.bin");
    ImageOptions options;
    options.iso9660 = true;
    options.joliet = true;
    options.udf = false;
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

void Walk(IsoReader& reader, std::vector<std::string>& path, int* budget) {
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
  if (size % 4 == 1 && data[size - 1] % 2 == 1) {
    // Every supplementary descriptor's escape sequence: no Joliet tree is found.
    for (std::size_t sector = 16; sector < 16 + 64 && (sector + 1) * 2048 <= image.size(); ++sector) {
      if (image[sector * 2048] == 2) image[sector * 2048 + 88] = 0;
    }
  }
  std::ofstream(base.image, std::ios::binary | std::ios::trunc).write(image.data(), image.size());
  IsoReader reader;
  if (reader.Open(base.image)) {
    std::vector<std::string> path;
    int budget = 64;
    Walk(reader, path, &budget);
  }
  return 0;
}
