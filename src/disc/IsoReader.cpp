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

bool IsoReader::Open(const std::string& imageFile) {
  if (!OpenFile(imageFile)) return false;
  std::string primaryRoot, jolietRoot;
  for (std::uint32_t sector = 16; sector < kLastDescriptor; ++sector) {
    std::string d;
    if (!ReadSectors(sector, kSectorSize, &d) || d.compare(1, 5, "CD001") != 0) break;
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
  // A set without its terminator still counts: the roots found are what matters.
  const std::string& root = jolietRoot.empty() ? primaryRoot : jolietRoot;
  if (root.empty()) {
    file_.reset();
    return false;
  }
  joliet_ = !jolietRoot.empty();
  auto p = reinterpret_cast<const unsigned char*>(root.data());
  root_.folder = true;
  root_.size = iso::GetLsb32(p + 10);
  root_.extents = {{iso::GetLsb32(p + 2), static_cast<std::uint32_t>(root_.size)}};
  return true;
}

bool IsoReader::Entries(const DiscEntry& directory, std::vector<DiscEntry>* entries) {
  if (directory.extents.empty()) return false;
  const auto [sector, size] = directory.extents[0];
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
        entries->push_back(DiscEntry{id, folder, 0, {}});
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

}  // namespace quarnel::disc
