// Writing an archive: every appended file is streamed through libzip into a temporary
// file beside the target, which is flushed, read back when asked for, and then replaces
// the target in one step. Large files are deflated in blocks on worker threads, one per
// processor; the rest, and everything on a machine with one processor, by libzip.
#include <zip.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/BlockDeflate.h"
#include "archive/FileSources.h"
#include "archive/LocalFile.h"
#include "archive/WinZipAes.h"
#include "archive/WrittenArchive.h"
#include "archive/ZipArchive.h"
#include "archive/ZipArchiveParts.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::archive {
namespace {

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

// An archive without entries: the end-of-central-directory record alone. libzip removes
// the file instead of writing one.
const std::string kEmptyArchive("PK\x05\x06\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22);

}  // namespace

bool ZipArchive::WriteArchive() {
  bool written = Write();
  detail::WipeText(archivePassword_);
  return written;
}

int ZipArchive::DeflateWorkerCount() const {
  if (deflateWorkers_ == kOneStream) return 0;
  if (deflateWorkers_ > 0) return deflateWorkers_;
  const int processors = platform::System().ProcessorCount();
  return processors > 1 ? processors : 0;
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

  detail::WriteProgress progress(Listener(), total);
  progress.Start();
  std::vector<detail::WrittenEntry> written(pending_.size());
  if (pending_.empty()) {
    if (!files.WriteAll(temporary, kEmptyArchive)) return abandon("Cannot write \"" + temporary + "\"");
  } else {
    std::string message;
    detail::ReadFailure unreadable;
    const int workers = DeflateWorkerCount();
    std::unique_ptr<detail::DeflatePool> pool;  // outlives the archive's sources
    zip_t* archive = detail::OpenZip(temporary, ZIP_TRUNCATE, &message);
    if (!archive) return abandon("Cannot write \"" + temporary + "\": " + message);
    for (std::size_t i = 0; i < pending_.size(); ++i) {
      written[i].name = pending_[i].entryName;
      written[i].utf8Name = platform::AnsiToUtf8(pending_[i].entryName);
      detail::AppendedFile file{pending_[i].path, pending_[i].entryName, facts[i], &Listener(), &progress,
                                &written[i], &unreadable};
      zip_source_t* source;
      if (workers > 0 && facts[i].size >= detail::kBlockDeflateMinimum) {
        if (!pool) pool = std::make_unique<detail::DeflatePool>(workers);
        source = detail::NewBlockSource(archive, file, *pool);
      } else {
        source = detail::NewFileSource(archive, file);
      }
      if (!source) {
        zip_discard(archive);
        return abandon("Out of memory");
      }
      zip_int64_t index =
          zip_file_add(archive, written[i].utf8Name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
      bool ok = index >= 0;
      if (!ok) zip_source_free(source);
      ok = ok && zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                          detail::kDeflateLevel) == 0;
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
