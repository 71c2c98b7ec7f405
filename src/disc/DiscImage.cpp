#include "disc/DiscImage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>

#include "disc/IsoNames.h"
#include "disc/UdfTree.h"

namespace quarnel::disc {

using iso::kSectorSize;

namespace {

constexpr std::uint32_t kFirstDescriptor = 16;
// The largest extent a directory record can describe, in whole sectors.
constexpr std::uint64_t kMaxExtent = 0xFFFFF800ULL;
constexpr char kSystemId[] = "WIN32";
constexpr char kApplicationId[] = "QUARNEL BACKUP";

std::uint32_t SectorsFor(std::uint64_t bytes) {
  return static_cast<std::uint32_t>((bytes + kSectorSize - 1) / kSectorSize);
}

std::uint32_t ExtentCount(std::uint64_t size) {
  return size == 0 ? 1 : static_cast<std::uint32_t>((size + kMaxExtent - 1) / kMaxExtent);
}

std::size_t RecordLength(std::size_t idLength) { return 33 + idLength + (idLength % 2 == 0 ? 1 : 0); }

std::string Record(const std::string& id, std::uint32_t location, std::uint32_t length, std::uint8_t flags,
                   std::time_t date) {
  std::string r(RecordLength(id.size()), '\0');
  r[0] = static_cast<char>(r.size());
  iso::PutBoth32(r, 2, location);
  iso::PutBoth32(r, 10, length);
  std::string when = iso::RecordDate(date);
  std::memcpy(&r[18], when.data(), 7);
  r[25] = static_cast<char>(flags);
  iso::PutBoth16(r, 28, 1);
  r[32] = static_cast<char>(id.size());
  std::memcpy(&r[33], id.data(), id.size());
  return r;
}

// ISO9660 orders records by name, then extension, each padded; Joliet the same over its
// 16-bit characters. Comparing with the separators taken as the lowest values does that.
bool IdentifierLess(const std::string& a, const std::string& b, bool joliet) {
  auto key = [joliet](const std::string& id) {
    std::string k = id;
    if (!joliet) {
      for (char& c : k) {
        if (c == '.' || c == ';') c = '\x01';
      }
    }
    return k;
  };
  return key(a) < key(b);
}

void PadSector(std::string& out) {
  if (out.size() % kSectorSize != 0) out.resize(out.size() + kSectorSize - out.size() % kSectorSize, '\0');
}

}  // namespace

// One file-system tree (ISO9660 or Joliet) over the shared file data.
struct DiscImage::Tree {
  struct Entry {
    std::string id;
    bool folder = false;
    int index = 0;  // a directory of this tree, or a file of the image
  };
  struct Dir {
    const ImageNode* node = nullptr;
    int parent = 0;
    std::string id;
    std::vector<Entry> entries;
    std::uint32_t sector = 0;
    std::uint32_t size = 0;
  };

  bool joliet = false;
  std::vector<Dir> dirs;  // in path-table order; 0 is the root
  std::uint32_t pathTableSize = 0;
  std::uint32_t lTable = 0, mTable = 0;

  // Names every folder and file; directories in path-table order (level, parent, name).
  void Build(const ImageNode& root, const std::map<const ImageNode*, int>& fileIndex, std::vector<ImageFile>& files,
             bool preferred) {
    dirs.push_back(Dir{&root, 0, std::string(1, '\0'), {}, 0, 0});
    std::vector<std::vector<std::string>> paths(1);
    for (std::size_t d = 0; d < dirs.size(); ++d) {
      iso::UniqueNames taken;
      std::vector<Entry> entries;
      std::vector<const ImageNode*> folders;
      for (const auto& [key, child] : dirs[d].node->children) {
        Entry entry;
        entry.folder = child->isFolder;
        if (joliet) {
          entry.id = iso::JolietName(child->name, child->isFolder, taken);
        } else {
          entry.id = child->isFolder ? iso::IsoFolderName(child->name, taken) : iso::IsoFileName(child->name, taken);
        }
        entry.index = child->isFolder ? -1 : fileIndex.at(child.get());
        if (child->isFolder) folders.push_back(child.get());
        entries.push_back(entry);
      }
      // Sorted, the folders numbered in that order as they join the path table.
      std::vector<std::pair<Entry, const ImageNode*>> byId;
      std::size_t f = 0;
      for (Entry& e : entries) byId.emplace_back(e, e.folder ? folders[f++] : nullptr);
      std::sort(byId.begin(), byId.end(),
                [this](const auto& a, const auto& b) { return IdentifierLess(a.first.id, b.first.id, joliet); });
      for (auto& [entry, node] : byId) {
        if (entry.folder) {
          entry.index = static_cast<int>(dirs.size());
          dirs.push_back(Dir{node, static_cast<int>(d), entry.id, {}, 0, 0});
          paths.push_back(paths[d]);
          paths.back().push_back(entry.id);
        } else if (preferred) {
          files[entry.index].discPath = paths[d];
          files[entry.index].discPath.push_back(entry.id);
        }
        dirs[d].entries.push_back(entry);
      }
    }
    for (const Dir& dir : dirs) pathTableSize += static_cast<std::uint32_t>(8 + dir.id.size() + dir.id.size() % 2);
  }

  // Bytes of a directory's records, none crossing a sector boundary.
  std::uint32_t DirectorySize(const Dir& dir, const std::vector<ImageFile>& files) const {
    std::uint64_t offset = 0;
    auto place = [&offset](std::size_t length) {
      if (offset % kSectorSize + length > kSectorSize) offset += kSectorSize - offset % kSectorSize;
      offset += length;
    };
    place(34);
    place(34);
    for (const Entry& e : dir.entries) {
      std::uint32_t count = e.folder ? 1 : ExtentCount(files[e.index].size);
      for (std::uint32_t i = 0; i < count; ++i) place(RecordLength(e.id.size()));
    }
    return SectorsFor(offset) * kSectorSize;
  }

  std::uint32_t LayOutTables(std::uint32_t next) {
    lTable = next;
    next += SectorsFor(pathTableSize);
    mTable = next;
    return next + SectorsFor(pathTableSize);
  }

  std::uint32_t LayOutDirectories(std::uint32_t next, const std::vector<ImageFile>& files) {
    for (Dir& dir : dirs) {
      dir.size = DirectorySize(dir, files);
      dir.sector = next;
      next += dir.size / kSectorSize;
    }
    return next;
  }

  std::string PathTable(bool msb) const {
    std::string out;
    for (const Dir& dir : dirs) {
      std::string r(8 + dir.id.size() + dir.id.size() % 2, '\0');
      r[0] = static_cast<char>(dir.id.size());
      if (msb) {
        iso::PutMsb32(r, 2, dir.sector);
        iso::PutMsb16(r, 6, static_cast<std::uint16_t>(dir.parent + 1));
      } else {
        iso::PutLsb32(r, 2, dir.sector);
        iso::PutLsb16(r, 6, static_cast<std::uint16_t>(dir.parent + 1));
      }
      std::memcpy(&r[8], dir.id.data(), dir.id.size());
      out += r;
    }
    PadSector(out);
    return out;
  }

  std::string Directory(const Dir& dir, const std::vector<ImageFile>& files, const ImageOptions& options) const {
    auto dateOf = [&options](const ImageNode& node) {
      return options.useFileDates && node.modified != 0 ? node.modified : options.created;
    };
    std::string out;
    auto put = [&out](const std::string& record) {
      if (out.size() % kSectorSize + record.size() > kSectorSize) PadSector(out);
      out += record;
    };
    const Dir& parent = dirs[dir.parent];
    put(Record(std::string(1, '\0'), dir.sector, dir.size, 0x02, dateOf(*dir.node)));
    put(Record(std::string(1, '\1'), parent.sector, parent.size, 0x02, dateOf(*parent.node)));
    for (const Entry& e : dir.entries) {
      if (e.folder) {
        const Dir& sub = dirs[e.index];
        put(Record(e.id, sub.sector, sub.size, 0x02, dateOf(*sub.node)));
        continue;
      }
      const ImageFile& file = files[e.index];
      std::time_t date = options.useFileDates ? file.modified : options.created;
      std::uint32_t count = ExtentCount(file.size);
      for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t start = i * kMaxExtent;
        auto length = static_cast<std::uint32_t>(std::min<std::uint64_t>(file.size - start, kMaxExtent));
        std::uint32_t location = file.size == 0 ? 0 : file.sector + static_cast<std::uint32_t>(start / kSectorSize);
        put(Record(e.id, location, length, i + 1 < count ? 0x80 : 0x00, date));
      }
    }
    PadSector(out);
    return out;
  }

  std::string Descriptor(const ImageOptions& options, std::uint32_t volumeSectors) const {
    std::string d(kSectorSize, '\0');
    d[0] = static_cast<char>(joliet ? 2 : 1);
    std::memcpy(&d[1], "CD001", 5);
    d[6] = 1;
    auto text = [&d, this](std::size_t at, std::size_t length, const std::string& value, bool wide) {
      // a-/d-characters padded with blanks; Joliet's fields hold UCS-2 blanks.
      for (std::size_t i = 0; i < length; ++i) d[at + i] = wide && i % 2 == 0 ? '\0' : ' ';
      std::memcpy(&d[at], value.data(), std::min(value.size(), length));
    };
    bool wide = joliet;
    text(8, 32, wide ? iso::Ucs2Be(iso::AnsiToUtf16(kSystemId)) : kSystemId, wide);
    text(40, 32, wide ? iso::JolietVolumeId(options.volumeId) : iso::IsoVolumeId(options.volumeId), wide);
    iso::PutBoth32(d, 80, volumeSectors);
    if (joliet) std::memcpy(&d[88], "%/E", 3);  // UCS-2 level 3
    iso::PutBoth16(d, 120, 1);
    iso::PutBoth16(d, 124, 1);
    iso::PutBoth16(d, 128, static_cast<std::uint16_t>(kSectorSize));
    iso::PutBoth32(d, 132, pathTableSize);
    iso::PutLsb32(d, 140, lTable);
    iso::PutMsb32(d, 148, mTable);
    std::string root = Record(std::string(1, '\0'), dirs[0].sector, dirs[0].size, 0x02, options.created);
    std::memcpy(&d[156], root.data(), 34);
    text(190, 128, "", wide);
    text(318, 128, "", wide);
    text(446, 128, "", wide);
    text(574, 128, wide ? iso::Ucs2Be(iso::AnsiToUtf16(kApplicationId)) : kApplicationId, wide);
    text(702, 37, "", wide);
    text(739, 37, "", wide);
    text(776, 37, "", wide);
    std::string created = iso::VolumeDate(options.created);
    std::memcpy(&d[813], created.data(), 17);
    std::memcpy(&d[830], created.data(), 17);
    std::memcpy(&d[847], "0000000000000000", 16);
    std::memcpy(&d[864], "0000000000000000", 16);
    d[881] = 1;
    return d;
  }
};

ImageOptions OptionsFor(const WriterSettings& settings) {
  ImageOptions options;
  // Joliet needs the ISO9660 tree beside it, and an image needs some tree.
  options.udf = (settings.FileSystem & kFsUdf) != 0;
  options.joliet = (settings.FileSystem & kFsJoliet) != 0;
  options.iso9660 = (settings.FileSystem & kFsIso9660) != 0 || options.joliet || !options.udf;
  options.volumeId = settings.VolumeIdentifier;
  options.useFileDates = settings.UseFileDates;
  options.created = std::time(nullptr);
  return options;
}

DiscImage::DiscImage(const ImageNode& root, const ImageOptions& options) : options_(options) {
  std::map<const ImageNode*, int> fileIndex;
  CollectFiles(root, &fileIndex);
  std::vector<std::unique_ptr<Tree>> trees;
  if (options.iso9660) {
    trees.push_back(std::make_unique<Tree>());
    if (options.joliet) {
      trees.push_back(std::make_unique<Tree>());
      trees.back()->joliet = true;
    }
  }
  std::unique_ptr<UdfTree> udf = options.udf ? std::make_unique<UdfTree>() : nullptr;
  for (auto& tree : trees) tree->Build(root, fileIndex, files_, !udf && tree == trees.back());
  if (udf) udf->Build(root, fileIndex, files_, true);

  // Descriptors (ISO9660's, then UDF's recognition sequence; UDF's own volume descriptors
  // lie at fixed places up to its anchor at 256), then each tree's path tables and
  // directories, UDF's file entries and folders, then the file data; UDF's closing anchor.
  std::uint32_t next = kFirstDescriptor;
  if (!trees.empty()) next += static_cast<std::uint32_t>(trees.size()) + 1;
  const std::uint32_t recognition = next;
  if (udf) next = UdfTree::kFirstFree;
  for (auto& tree : trees) next = tree->LayOutTables(next);
  for (auto& tree : trees) next = tree->LayOutDirectories(next, files_);
  if (udf) next = udf->LayOut(next, files_);
  for (ImageFile& file : files_) {
    file.sector = next;
    next += SectorsFor(file.size);
  }
  sectors_ = udf ? next + 1 : next;

  if (!trees.empty()) {
    std::string descriptors;
    for (auto& tree : trees) descriptors += tree->Descriptor(options_, sectors_);
    std::string terminator(kSectorSize, '\0');
    terminator[0] = static_cast<char>(255);
    std::memcpy(&terminator[1], "CD001", 5);
    terminator[6] = 1;
    descriptors += terminator;
    AddMetadata(kFirstDescriptor, static_cast<std::uint32_t>(trees.size()) + 1, std::move(descriptors));
  }
  for (auto& tree : trees) {
    // The length is taken before the bytes move: the order in which arguments are
    // evaluated is the compiler's.
    std::string l = tree->PathTable(false), m = tree->PathTable(true);
    const std::uint32_t sectors = SectorsFor(l.size());
    AddMetadata(tree->lTable, sectors, std::move(l));
    AddMetadata(tree->mTable, sectors, std::move(m));
  }
  for (auto& tree : trees) {
    for (const Tree::Dir& dir : tree->dirs)
      AddMetadata(dir.sector, dir.size / kSectorSize, tree->Directory(dir, files_, options_));
  }
  if (udf) {
    udf->Render(recognition, sectors_, files_, options_,
                [this](std::uint32_t first, std::uint32_t count, std::string bytes) {
                  AddMetadata(first, count, std::move(bytes));
                });
  }
  for (std::size_t i = 0; i < files_.size(); ++i) {
    if (files_[i].size == 0) continue;
    segments_.push_back(Segment{files_[i].sector, SectorsFor(files_[i].size), static_cast<int>(i), {}});
  }
  std::stable_sort(segments_.begin(), segments_.end(),
                   [](const Segment& a, const Segment& b) { return a.first < b.first; });
}

DiscImage::~DiscImage() = default;

void DiscImage::CollectFiles(const ImageNode& root, std::map<const ImageNode*, int>* index) {
  std::deque<const ImageNode*> queue = {&root};
  while (!queue.empty()) {
    const ImageNode* folder = queue.front();
    queue.pop_front();
    for (const auto& [key, child] : folder->children) {
      if (child->isFolder) {
        queue.push_back(child.get());
        continue;
      }
      (*index)[child.get()] = static_cast<int>(files_.size());
      ImageFile file;
      file.imagePath = ImagePathOf(*child);
      file.source = child->source;
      file.size = child->size;
      file.modified = child->modified;
      files_.push_back(file);
    }
  }
}

void DiscImage::AddMetadata(std::uint32_t first, std::uint32_t count, std::string bytes) {
  segments_.push_back(Segment{first, count, -1, std::move(bytes)});
}

bool ImageStream::Read(std::uint64_t offset, char* buffer, std::size_t size, std::size_t* read, FileError* error) {
  *read = 0;
  const std::uint64_t end = image_.Bytes();
  const auto& segments = image_.Segments();
  while (size > 0 && offset < end) {
    auto sector = static_cast<std::uint32_t>(offset / kSectorSize);
    // The last segment that starts at or before the sector.
    auto after = std::upper_bound(segments.begin(), segments.end(), sector,
                                  [](std::uint32_t s, const DiscImage::Segment& seg) { return s < seg.first; });
    std::uint64_t chunkEnd = end;
    const DiscImage::Segment* in = nullptr;
    if (after != segments.begin()) {
      const DiscImage::Segment& seg = *(after - 1);
      std::uint64_t segEnd = static_cast<std::uint64_t>(seg.first + seg.count) * kSectorSize;
      if (offset < segEnd) {
        in = &seg;
        chunkEnd = segEnd;
      }
    }
    if (in == nullptr && after != segments.end()) chunkEnd = static_cast<std::uint64_t>(after->first) * kSectorSize;
    auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, chunkEnd - offset));
    std::uint64_t within = in ? offset - static_cast<std::uint64_t>(in->first) * kSectorSize : 0;
    if (in == nullptr) {
      std::memset(buffer, 0, n);
    } else if (in->file < 0) {
      std::size_t have = 0;
      if (within < in->bytes.size()) {
        have = std::min(n, static_cast<std::size_t>(in->bytes.size() - within));
        std::memcpy(buffer, in->bytes.data() + within, have);
      }
      std::memset(buffer + have, 0, n - have);
    } else if (!ReadFile(in->file, within, buffer, n, error)) {
      return false;
    }
    buffer += n;
    size -= n;
    offset += n;
    *read += n;
  }
  return true;
}

bool ImageStream::ReadFile(int index, std::uint64_t offset, char* buffer, std::size_t size, FileError* error) {
  const ImageFile& file = image_.Files()[index];
  std::size_t data =
      offset >= file.size ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, file.size - offset));
  std::memset(buffer + data, 0, size - data);  // the rest of the last sector
  if (data == 0) return true;
  auto fail = [&](const std::string& text) {
    *error = FileError{errno, text, file.source};
    open_.reset();
    openIndex_ = -1;
    return false;
  };
  current_ = index;
  if (openIndex_ != index || !open_) {
    open_.reset();
    openIndex_ = index;
    LocalEntry now;
    if (!StatPath(file.source, &now) || now.isFolder) return fail("The source file could not be found.");
    if (now.size != file.size) return fail("The source file has changed since it was added to the image.");
    open_ = LocalFile::OpenRead(file.source);
    if (!open_) return fail("The source file could not be opened.");
    openPosition_ = 0;
  }
  if (openPosition_ != offset) {
    if (!open_->Seek(offset)) return fail("The source file could not be read.");
    openPosition_ = offset;
  }
  std::size_t got = open_->Read(buffer, data);
  openPosition_ += got;
  if (got != data) return fail("The source file could not be read.");
  if (openPosition_ == file.size) {
    open_.reset();  // done with it
    openIndex_ = -1;
  }
  return true;
}

}  // namespace quarnel::disc
