#include "disc/DiscReader.h"

#include <algorithm>

#include "disc/IsoNames.h"

namespace quarnel::disc {

using iso::kSectorSize;

bool DiscReader::OpenFile(const std::string& imageFile) {
  file_ = LocalFile::OpenRead(imageFile);
  return file_ != nullptr;
}

bool DiscReader::ReadSectors(std::uint32_t sector, std::size_t bytes, std::string* out) {
  out->assign(bytes, '\0');
  return file_->Seek(static_cast<std::uint64_t>(sector) * kSectorSize) && file_->Read(out->data(), bytes) == bytes;
}

bool DiscReader::Find(const std::vector<std::string>& path, DiscEntry* entry) {
  if (!file_) return false;
  DiscEntry current = root_;
  for (const std::string& id : path) {
    std::vector<DiscEntry> entries;
    if (!current.folder || !Entries(current, &entries)) return false;
    auto it = std::find_if(entries.begin(), entries.end(), [&id](const DiscEntry& e) { return e.id == id; });
    if (it == entries.end()) return false;
    current = *it;
  }
  *entry = current;
  return true;
}

bool DiscReader::List(const std::vector<std::string>& path, std::vector<DiscEntry>* entries) {
  DiscEntry folder;
  return Find(path, &folder) && folder.folder && Entries(folder, entries);
}

std::size_t DiscReader::ReadFile(const DiscEntry& entry, std::uint64_t offset, char* buffer, std::size_t size) {
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
