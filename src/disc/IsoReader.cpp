#include "disc/IsoReader.h"

#include <algorithm>
#include <cstring>

#include "disc/IsoNames.h"

namespace quarnel::disc {

using iso::kSectorSize;

namespace {

constexpr std::uint32_t kLastDescriptor = 16 + 64;  // no image has more
// A directory larger than this is taken for damage.
constexpr std::uint32_t kMaxDirectory = 64 * 1024 * 1024;

std::string Trimmed(const std::string& text) {
  std::size_t end = text.find_last_not_of(std::string(" \0", 2));
  return end == std::string::npos ? "" : text.substr(0, end + 1);
}

}  // namespace

bool IsoReader::ReadSectors(std::uint32_t sector, std::size_t bytes, std::string* out) {
  out->assign(bytes, '\0');
  return file_->Seek(static_cast<std::uint64_t>(sector) * kSectorSize) && file_->Read(out->data(), bytes) == bytes;
}

bool IsoReader::Open(const std::string& imageFile) {
  file_ = LocalFile::OpenRead(imageFile);
  if (!file_) return false;
  std::string primaryRoot, jolietRoot;
  for (std::uint32_t sector = 16; sector < kLastDescriptor; ++sector) {
    std::string d;
    if (!ReadSectors(sector, kSectorSize, &d) || d.compare(1, 5, "CD001") != 0) return false;
    auto type = static_cast<unsigned char>(d[0]);
    if (type == 255) break;
    if (type == 1) {
      primaryRoot = d.substr(156, 34);
      volumeId_ = Trimmed(d.substr(40, 32));
    }
    if (type == 2 && d[88] == '%' && d[89] == '/' && (d[90] == '@' || d[90] == 'C' || d[90] == 'E')) {
      jolietRoot = d.substr(156, 34);
    }
  }
  const std::string& root = jolietRoot.empty() ? primaryRoot : jolietRoot;
  if (root.empty()) return false;
  joliet_ = !jolietRoot.empty();
  auto p = reinterpret_cast<const unsigned char*>(root.data());
  root_.folder = true;
  root_.size = iso::GetLsb32(p + 10);
  root_.extents = {{iso::GetLsb32(p + 2), static_cast<std::uint32_t>(root_.size)}};
  return true;
}

bool IsoReader::Directory(std::uint32_t sector, std::uint32_t size, std::vector<IsoEntry>* entries) {
  auto cached = directories_.find(sector);
  if (cached != directories_.end()) {
    *entries = cached->second;
    return true;
  }
  std::string data;
  if (size > kMaxDirectory || !ReadSectors(sector, size, &data)) return false;
  entries->clear();
  bool continuing = false;
  for (std::size_t at = 0; at < data.size();) {
    auto p = reinterpret_cast<const unsigned char*>(data.data() + at);
    std::size_t length = p[0];
    if (length == 0) {  // the rest of this sector is padding
      at = (at / kSectorSize + 1) * kSectorSize;
      continue;
    }
    if (length < 34 || at + length > data.size() || 33 + static_cast<std::size_t>(p[32]) > length) return false;
    std::string id(reinterpret_cast<const char*>(p + 33), p[32]);
    bool folder = (p[25] & 0x02) != 0;
    std::uint32_t location = iso::GetLsb32(p + 2);
    std::uint32_t bytes = iso::GetLsb32(p + 10);
    if (id != std::string(1, '\0') && id != std::string(1, '\1')) {
      if (!continuing) {
        entries->push_back(IsoEntry{id, folder, 0, {}});
      }
      entries->back().size += bytes;
      entries->back().extents.emplace_back(location, bytes);
      continuing = (p[25] & 0x80) != 0;
    }
    at += length;
  }
  directories_[sector] = *entries;
  return true;
}

bool IsoReader::List(const std::vector<std::string>& path, std::vector<IsoEntry>* entries) {
  IsoEntry folder = root_;
  if (!path.empty() && !Find(path, &folder)) return false;
  if (!folder.folder || folder.extents.empty()) return false;
  return Directory(folder.extents[0].first, folder.extents[0].second, entries);
}

bool IsoReader::Find(const std::vector<std::string>& path, IsoEntry* entry) {
  IsoEntry current = root_;
  for (const std::string& id : path) {
    std::vector<IsoEntry> entries;
    if (!current.folder || !Directory(current.extents[0].first, current.extents[0].second, &entries)) return false;
    bool found = false;
    for (IsoEntry& e : entries) {
      if (e.id == id) {
        current = e;
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  *entry = current;
  return true;
}

std::size_t IsoReader::ReadFile(const IsoEntry& entry, std::uint64_t offset, char* buffer, std::size_t size) {
  std::size_t done = 0;
  std::uint64_t base = 0;
  for (const auto& [sector, bytes] : entry.extents) {
    if (done == size) break;
    std::uint64_t start = offset + done;
    if (start < base + bytes) {
      std::uint64_t within = start - base;
      auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, bytes - within));
      if (!file_->Seek(static_cast<std::uint64_t>(sector) * kSectorSize + within)) return done;
      std::size_t got = file_->Read(buffer + done, n);
      done += got;
      if (got != n) return done;
    }
    base += bytes;
  }
  return done;
}

}  // namespace quarnel::disc
