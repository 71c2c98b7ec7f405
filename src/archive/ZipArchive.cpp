#include "archive/ZipArchive.h"

#include <zip.h>

#include <cstdio>
#include <limits>
#include <vector>

#include "archive/AesVersions.h"
#include "archive/EntryNames.h"
#include "archive/EntryReader.h"
#include "archive/LocalFile.h"
#include "archive/WinZipAes.h"
#include "archive/ZipArchiveParts.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::archive {

std::int16_t& ArchiveWritten() {
  static std::int16_t written = 0;
  return written;
}

ZipArchive::Reader::~Reader() {
  if (archive) zip_discard(archive);
}

ZipArchive::ZipArchive(ArchiveListener* listener) : listener_(listener) {}

ZipArchive::~ZipArchive() = default;

ArchiveListener& ZipArchive::Listener() {
  static SilentListener silent;
  return listener_ ? *listener_ : silent;
}

bool ZipArchive::Fail(std::string message) {
  lastError_ = std::move(message);
  return false;
}

void ZipArchive::CloseArchive() {
  detail::WipeText(archivePassword_);
  detail::WipeText(readPassword_);
  building_ = false;
  targetPath_.clear();
  pending_.clear();
  reader_.reset();
  expected_.reset();
  ++generation_;
}

void ZipArchive::NewArchive(const std::string& path) {
  CloseArchive();
  building_ = true;
  targetPath_ = path;
}

bool ZipArchive::AppendPath(const std::string& path) {
  if (!building_) return Fail("No archive is being built");
  std::string name = detail::BaseName(path);
  if (!IsSafeEntryName(name)) return Fail("No file name in \"" + path + "\"");
  for (Pending& earlier : pending_) {
    if (earlier.entryName == name) {
      earlier.path = path;
      return true;
    }
  }
  pending_.push_back({path, name, nullptr});
  return true;
}

bool ZipArchive::AppendClosingPath(const std::string& path, Trailer trailer) {
  if (!AppendPath(path)) return false;
  for (Pending& pending : pending_) {
    if (pending.entryName == detail::BaseName(path)) pending.trailer = std::move(trailer);
  }
  return true;
}

void ZipArchive::ExpectEntries(const std::vector<EntryFacts>& record) {
  if (!reader_) return;
  expected_.emplace();
  for (const EntryFacts& facts : record) {
    expected_->push_back({platform::AnsiToUtf8(facts.name), facts.size, facts.crc});
  }
}

int ZipArchive::IsArchiveProtected(const std::string& path) {
  std::string message;
  zip_t* archive = detail::OpenZip(path, ZIP_RDONLY | ZIP_CHECKCONS, &message);
  if (!archive) {
    Fail("Cannot open \"" + path + "\": " + message);
    return 0;
  }
  int protectedEntry = 0;
  zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count && !protectedEntry; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) == 0 &&
        (st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
      protectedEntry = 1;
    }
  }
  zip_discard(archive);
  return protectedEntry;
}

bool ZipArchive::OpenArchive(const std::string& path) {
  CloseArchive();
  std::string message;
  zip_t* archive = detail::OpenZip(path, ZIP_RDONLY | ZIP_CHECKCONS, &message);
  if (!archive) return Fail("Cannot open \"" + path + "\": " + message);
  reader_ = std::make_unique<Reader>();
  reader_->archive = archive;
  reader_->ae1 = detail::Ae1Entries(path);
  ApplyReadPassword();
  return true;
}

void ZipArchive::ReadPassword(const std::string& password) {
  readPassword_ = password;
  ApplyReadPassword();
}

void ZipArchive::ApplyReadPassword() {
  if (!reader_) return;
  zip_set_default_password(reader_->archive, readPassword_.empty() ? nullptr : readPassword_.c_str());
}

int ZipArchive::CheckPassword() {
  if (!reader_) {
    Fail("No archive is open");
    return 0;
  }
  // A password can pass the quick verifier at the start of an entry and still be wrong
  // (one in 256 for the traditional protection), so one entry's full check decides: a
  // WinZip AES entry's authentication code (over its stored data, nothing inflated), or a
  // traditionally protected entry's CRC (over its content, as long as it states). The
  // cheapest such entry is read. An empty traditionally protected entry has nothing but
  // that verifier, so when only such entries are protected, all of them are tried.
  zip_t* archive = reader_->archive;
  zip_int64_t count = zip_get_num_entries(archive, 0);
  std::vector<zip_uint64_t> toRead;  // the inconclusive entries, unless a conclusive one turns up
  zip_int64_t cheapest = -1;
  zip_uint64_t cheapestCost = std::numeric_limits<zip_uint64_t>::max();
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
    if (!(st.valid & ZIP_STAT_ENCRYPTION_METHOD) || st.encryption_method == ZIP_EM_NONE) continue;
    const bool aes = detail::AesKeyLength(st) != 0;
    const zip_uint64_t stated = (st.valid & ZIP_STAT_SIZE) ? st.size : std::numeric_limits<zip_uint64_t>::max();
    if (!aes && stated == 0) {
      toRead.push_back(static_cast<zip_uint64_t>(i));
      continue;
    }
    const zip_uint64_t cost = aes ? ((st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0) : stated;
    if (cheapest < 0 || cost < cheapestCost) {
      cheapest = i;
      cheapestCost = cost;
    }
  }
  if (cheapest >= 0) toRead = {static_cast<zip_uint64_t>(cheapest)};
  for (zip_uint64_t index : toRead) {
    std::string message;
    if (!detail::PasswordOpensEntry(archive, index, readPassword_, &message)) {
      Fail("The password does not open the archive: " + message);
      return 0;
    }
  }
  return 1;
}

std::optional<ArchiveEntry> ZipArchive::FindEntry(const std::string& name) {
  if (!reader_) {
    Fail("No archive is open");
    return std::nullopt;
  }
  zip_t* archive = reader_->archive;
  const std::string utf8 = platform::AnsiToUtf8(name);
  zip_int64_t count = zip_get_num_entries(archive, 0);
  // Our own archives and other UTF-8 ones first; then names stored as ANSI bytes without
  // the UTF-8 flag; then names that libzip decodes (from CP437 or a Unicode extra field).
  const struct {
    zip_flags_t flags;
    const std::string* wanted;
  } passes[] = {{ZIP_FL_ENC_RAW, &utf8}, {ZIP_FL_ENC_RAW, &name}, {ZIP_FL_ENC_STRICT, &utf8}};
  for (const auto& pass : passes) {
    for (zip_int64_t i = 0; i < count; ++i) {
      const char* stored = zip_get_name(archive, static_cast<zip_uint64_t>(i), pass.flags);
      if (stored && *pass.wanted == stored) {
        return ArchiveEntry(this, generation_, static_cast<std::uint64_t>(i), name);
      }
    }
  }
  Fail("No entry \"" + name + "\" in the archive");
  return std::nullopt;
}

std::vector<std::string> ZipArchive::EntryNames() {
  std::vector<std::string> names;
  if (!reader_) return names;
  const zip_int64_t count = zip_get_num_entries(reader_->archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* raw = zip_get_name(reader_->archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (!raw) continue;
    std::string ansi;
    names.push_back(platform::Utf8ToAnsi(raw, &ansi) ? ansi : raw);
  }
  return names;
}

bool ArchiveEntry::ReadTo(const ContentSink& sink) const { return owner_->Read(generation_, index_, name_, sink); }

bool ArchiveEntry::ExtractToFolder(const std::string& folder) const {
  return owner_->Extract(generation_, index_, name_, folder, name_);
}

bool ArchiveEntry::ExtractToFile(const std::string& path) const {
  return owner_->Extract(generation_, index_, name_, detail::FolderOf(path), detail::BaseName(path));
}

bool ArchiveEntry::Check() const { return owner_->Extract(generation_, index_, name_, "", ""); }

std::optional<std::uint64_t> ArchiveEntry::StatedSize() const { return owner_->StatedSize(generation_, index_); }

std::optional<std::uint64_t> ZipArchive::StatedSize(std::uint64_t generation, std::uint64_t index) {
  zip_stat_t st;
  if (!reader_ || generation != generation_ || zip_stat_index(reader_->archive, index, 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE))
    return std::nullopt;
  return st.size;
}

bool ZipArchive::Read(std::uint64_t generation, std::uint64_t index, const std::string& name,
                      const ContentSink& sink) {
  if (!reader_ || generation != generation_) return Fail("The archive of this entry is no longer open");
  const std::vector<EntryFacts>* record = expected_ ? &*expected_ : nullptr;
  const bool ae1 = index < reader_->ae1.size() && reader_->ae1[index];
  std::string message;
  if (!detail::ReadEntryChecked(reader_->archive, index, readPassword_, sink, &message, record, ae1)) {
    return Fail("Cannot read \"" + name + "\": " + message);
  }
  return true;
}

bool ZipArchive::Extract(std::uint64_t generation, std::uint64_t index, const std::string& name,
                         const std::string& folder, const std::string& fileName) {
  if (!reader_ || generation != generation_) return Fail("The archive of this entry is no longer open");
  const std::vector<EntryFacts>* record = expected_ ? &*expected_ : nullptr;
  const bool ae1 = index < reader_->ae1.size() && reader_->ae1[index];
  std::string message;
  if (fileName.empty()) {  // a check: read to the end, nothing written
    auto nowhere = [](const char*, std::size_t) { return true; };
    if (detail::ReadEntryChecked(reader_->archive, index, readPassword_, nowhere, &message, record, ae1)) return true;
    return Fail("\"" + name + "\" does not pass its checks: " + message);
  }
  if (!IsSafeEntryName(name)) return Fail("Refused entry name \"" + name + "\": not a plain file name");
  if (!IsSafeEntryName(fileName)) return Fail("Refused file name \"" + fileName + "\": not a plain file name");
  platform::FileSystem& files = platform::Files();
  if (!files.FolderExists(folder)) return Fail("No folder \"" + folder + "\"");
  zip_stat_t st;
  if (!detail::DescribeEntry(reader_->archive, index, readPassword_, &st, &message, record, ae1)) {
    return Fail("Cannot extract \"" + name + "\": " + message);
  }
  std::optional<std::uint64_t> space = files.FreeSpace(folder);
  if (space && st.size > *space) {
    return Fail("Cannot extract \"" + name + "\": it states " + std::to_string(st.size) + " bytes, more than the " +
                std::to_string(*space) + " bytes free in \"" + folder + "\"");
  }
  Listener().OnExtractingFile(name);

  std::string temporary;
  if (!platform::System().CreateTempFile(folder, kTemporaryPrefix, &temporary)) {
    return Fail("Cannot create a file in \"" + folder + "\"");
  }
  auto abandon = [&](std::string failure) {
    files.RemoveFile(temporary);
    return Fail(std::move(failure));
  };
  std::FILE* out = detail::OpenForWriting(temporary);
  if (!out) return abandon("Cannot write \"" + temporary + "\"");
  bool read = detail::ReadEntryChecked(
      reader_->archive, index, readPassword_,
      [out](const char* data, std::size_t size) { return std::fwrite(data, 1, size, out) == size; }, &message,
      record, ae1);
  bool closed = std::fclose(out) == 0;
  if (!read) return abandon("Cannot extract \"" + name + "\": " + message);
  if (!closed || !files.FlushToDisk(temporary)) return abandon("Cannot write \"" + temporary + "\" (disk full?)");

  const std::string target = detail::JoinPath(folder, fileName);
  if (!detail::MoveOver(temporary, target)) return abandon("Cannot replace \"" + target + "\"");
  return true;
}

}  // namespace quarnel::archive
