// Writing an archive: every appended file is streamed through libzip into a temporary
// file beside the target, which is flushed, read back when asked for, and then replaces
// the target in one step.
#include <zip.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/LocalFile.h"
#include "archive/WinZipAes.h"
#include "archive/WrittenArchive.h"
#include "archive/ZipArchive.h"
#include "archive/ZipArchiveParts.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::archive {
namespace {

// zlib's default level: within reach of 7-Zip's normal Deflate in size, and faster.
constexpr zip_uint32_t kDeflateLevel = 6;

// Whole percents of all the bytes to be read, each reported once, rising.
class WriteProgress {
 public:
  WriteProgress(ArchiveListener& listener, std::uint64_t total) : listener_(listener), total_(total) {}

  void Start() { Report(0); }
  void Add(std::uint64_t bytes) {
    done_ += bytes;
    if (total_ == 0) return;
    // 100 is kept for the end: a file may have grown since it was measured.
    int percent = static_cast<int>(done_ >= total_ ? 99 : done_ * 100 / total_);
    if (percent > 99) percent = 99;
    Report(percent);
  }
  void Finish() { Report(100); }

 private:
  void Report(int percent) {
    if (percent <= reported_) return;
    reported_ = percent;
    listener_.OnWriteProgress(percent);
  }

  ArchiveListener& listener_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int reported_ = -1;
};

// The first appended file that could not be read, and why.
struct ReadFailure {
  std::string path;
  int error = 0;  // errno
};

// What a user can do something about: which file, and in words rather than a code.
std::string CannotRead(const std::string& path, int error) {
  std::string reason;
  switch (error) {
    case EACCES:
    case EPERM:
    case EBUSY:
      reason = "another program is using it, or access to it is denied";
      break;
    case ENOENT:
      reason = "it is no longer there";
      break;
    default:
      reason = std::strerror(error);
  }
  return "Cannot read the file \"" + path + "\": " + reason;
}

// A libzip source that reads one of the appended files, announcing it when libzip starts
// reading it, counting the bytes for the progress and noting what it delivered (for the
// read-back).
struct FileSource {
  std::string path;
  std::string entryName;
  detail::FileFacts facts;
  ArchiveListener* listener = nullptr;
  WriteProgress* progress = nullptr;
  detail::WrittenEntry* written = nullptr;
  std::FILE* file = nullptr;
  ReadFailure* failure = nullptr;  // where the first unreadable file is named
  bool announced = false;
  zip_error_t error;
};

zip_int64_t SourceFailed(FileSource* source, int zipError) {
  const int error = errno;
  zip_error_set(&source->error, zipError, error);
  if (source->failure->path.empty()) *source->failure = {source->path, error};
  return -1;
}

zip_int64_t FileSourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  auto* source = static_cast<FileSource*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      if (!source->announced) {
        source->announced = true;
        source->listener->OnAddingFile(source->entryName);
      }
      source->file = detail::OpenForReading(source->path);
      if (!source->file) return SourceFailed(source, ZIP_ER_OPEN);
      source->written->crc = crc32(0L, Z_NULL, 0);
      source->written->size = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      std::size_t n = std::fread(data, 1, static_cast<std::size_t>(length), source->file);
      if (n < length && std::ferror(source->file)) return SourceFailed(source, ZIP_ER_READ);
      source->progress->Add(n);
      source->written->crc = crc32(source->written->crc, static_cast<const Bytef*>(data), static_cast<uInt>(n));
      source->written->size += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
      if (source->file) std::fclose(source->file);
      source->file = nullptr;
      return 0;
    case ZIP_SOURCE_STAT: {
      auto* st = static_cast<zip_stat_t*>(data);
      zip_stat_init(st);
      st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      st->size = source->facts.size;
      st->mtime = source->facts.modified;
      return sizeof(*st);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source->error, data, length);
    case ZIP_SOURCE_FREE:
      if (source->file) std::fclose(source->file);
      zip_error_fini(&source->error);
      delete source;
      return 0;
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                            ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&source->error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// An archive without entries: the end-of-central-directory record alone. libzip removes
// the file instead of writing one.
const std::string kEmptyArchive("PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22);

}  // namespace

bool ZipArchive::WriteArchive() {
  bool written = Write();
  detail::WipeText(archivePassword_);
  return written;
}

bool ZipArchive::Write() {
  if (!building_) return Fail("No archive has been begun");
  const bool protect = encryptionMode_ == 1;
  if (protect && archivePassword_.empty()) return Fail("No password for a protected archive");

  std::vector<detail::FileFacts> facts(pending_.size());
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    if (!detail::RegularFileFacts(pending_[i].path, &facts[i])) {
      return Fail("Cannot read the file \"" + pending_[i].path + "\": it is missing or is not a file");
    }
    total += facts[i].size;
  }

  platform::FileSystem& files = platform::Files();
  const std::string folder = detail::FolderOf(targetPath_);
  if (!files.FolderExists(folder)) return Fail("No folder \"" + folder + "\"");
  std::string temporary;
  if (!platform::System().CreateTempFile(folder, kTemporaryPrefix, &temporary)) {
    return Fail("Cannot create a file in \"" + folder + "\"");
  }
  auto abandon = [&](std::string message) {
    files.RemoveFile(temporary);
    return Fail(std::move(message));
  };

  WriteProgress progress(Listener(), total);
  progress.Start();
  std::vector<detail::WrittenEntry> written(pending_.size());
  if (pending_.empty()) {
    if (!files.WriteAll(temporary, kEmptyArchive)) return abandon("Cannot write \"" + temporary + "\"");
  } else {
    std::string message;
    ReadFailure unreadable;
    zip_t* archive = detail::OpenZip(temporary, ZIP_TRUNCATE, &message);
    if (!archive) return abandon("Cannot write \"" + temporary + "\": " + message);
    for (std::size_t i = 0; i < pending_.size(); ++i) {
      written[i].name = pending_[i].entryName;
      written[i].utf8Name = platform::AnsiToUtf8(pending_[i].entryName);
      auto* state = new FileSource;
      state->path = pending_[i].path;
      state->entryName = pending_[i].entryName;
      state->facts = facts[i];
      state->listener = &Listener();
      state->progress = &progress;
      state->written = &written[i];
      state->failure = &unreadable;
      zip_error_init(&state->error);
      zip_source_t* source = zip_source_function(archive, FileSourceCallback, state);
      if (!source) {
        zip_error_fini(&state->error);
        delete state;
        zip_discard(archive);
        return abandon("Out of memory");
      }
      zip_int64_t index =
          zip_file_add(archive, written[i].utf8Name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
      bool ok = index >= 0;
      if (!ok) zip_source_free(source);
      ok = ok && zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, kDeflateLevel) == 0;
      ok = ok && (!protect || zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_AES_256,
                                                      archivePassword_.c_str()) == 0);
      if (!ok) {
        message = zip_strerror(archive);
        zip_discard(archive);
        return abandon("Cannot add \"" + pending_[i].path + "\": " + message);
      }
    }
    // libzip writes beside the temporary file and moves its result over it; on failure it
    // removes what it wrote and the archive stays open, to be discarded.
    if (zip_close(archive) != 0) {
      message = zip_strerror(archive);
      zip_discard(archive);
      if (!unreadable.path.empty()) return abandon(CannotRead(unreadable.path, unreadable.error));
      return abandon("Cannot write the archive: " + message);
    }
  }

  if (!files.FlushToDisk(temporary)) return abandon("Cannot write \"" + temporary + "\" to the disk");
  if (verifyAfterWrite_) {
    Listener().OnVerifying();
    std::string message;
    if (!detail::ReadsBackAsWritten(temporary, written, protect ? archivePassword_ : std::string(), &message)) {
      return abandon("Verification failed: " + message);
    }
  }
  if (!detail::MoveOver(temporary, targetPath_)) return abandon("Cannot replace \"" + targetPath_ + "\"");
  progress.Finish();
  Listener().OnWriteDone();
  return true;
}

}  // namespace quarnel::archive
