// Writing an archive: every appended file is streamed through libzip into a temporary
// file beside the target, which is flushed, read back when asked for, and then replaces
// the target in one step. Large files are deflated in blocks on worker threads, one per
// processor; the rest, and everything on a machine with one processor, by libzip.
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
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
  bool written;
  try {
    written = Write();
  } catch (const std::bad_alloc&) {  // before the temporary file was made
    written = Fail("Out of memory");
  }
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
  // The closing entry comes after every other, whenever it was appended.
  std::stable_partition(pending_.begin(), pending_.end(), [](const Pending& p) { return !p.trailer; });

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
  detail::WriteProgress progress(Listener(), total);
  progress.Start();
  std::vector<detail::WrittenEntry> written;
  bool complete;
  try {
    complete = WriteEntries(temporary, facts, progress, &written);
    if (complete && !files.FlushToDisk(temporary)) complete = Fail("Cannot write \"" + temporary + "\" to the disk");
    if (complete && verifyAfterWrite_) {
      Listener().OnVerifying();
      std::string message;
      if (!detail::ReadsBackAsWritten(temporary, written, protect ? archivePassword_ : std::string(), &message)) {
        complete = Fail("Verification failed: " + message);
      }
    }
    if (complete && !detail::MoveOver(temporary, targetPath_)) {
      complete = Fail("Cannot replace \"" + targetPath_ + "\"");
    }
  } catch (const std::bad_alloc&) {
    complete = Fail("Out of memory");
  }
  if (!complete) {
    files.RemoveFile(temporary);
    return false;
  }
  progress.Finish();
  Listener().OnWriteDone();
  return true;
}

// Writes every pending file into the temporary file; false with LastError() set.
bool ZipArchive::WriteEntries(const std::string& temporary, const std::vector<detail::FileFacts>& facts,
                              detail::WriteProgress& progress, std::vector<detail::WrittenEntry>* writtenEntries) {
  std::vector<detail::WrittenEntry>& written = *writtenEntries;
  written.resize(pending_.size());
  if (pending_.empty()) {
    if (!platform::Files().WriteAll(temporary, kEmptyArchive)) return Fail("Cannot write \"" + temporary + "\"");
    return true;
  }
  const bool protect = encryptionMode_ == 1;
  std::string message;
  detail::ReadFailure unreadable;
  const int workers = DeflateWorkerCount();
  std::unique_ptr<detail::DeflatePool> pool;  // outlives the archive's sources
  struct Discard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
  };
  std::unique_ptr<zip_t, Discard> archive(detail::OpenZip(temporary, ZIP_TRUNCATE, &message));
  if (!archive) return Fail("Cannot write \"" + temporary + "\": " + message);
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    written[i].name = pending_[i].entryName;
    written[i].utf8Name = platform::AnsiToUtf8(pending_[i].entryName);
    detail::AppendedFile file{pending_[i].path, pending_[i].entryName, facts[i], &Listener(), &progress,
                              &written[i], &unreadable};
    zip_source_t* source;
    if (pending_[i].trailer) {
      const Trailer& trailer = pending_[i].trailer;
      source = detail::NewClosingSource(archive.get(), file, [&written, &trailer, i] {
        std::vector<EntryFacts> before;
        for (std::size_t j = 0; j < i; ++j) before.push_back({written[j].name, written[j].size, written[j].crc});
        return trailer(before);
      });
    } else if (workers > 0 && facts[i].size >= detail::kBlockDeflateMinimum) {
      if (!pool) pool = std::make_unique<detail::DeflatePool>(workers);
      source = detail::NewBlockSource(archive.get(), file, *pool);
    } else {
      source = detail::NewFileSource(archive.get(), file);
    }
    if (!source) return Fail("Out of memory");
    zip_int64_t index =
        zip_file_add(archive.get(), written[i].utf8Name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    bool ok = index >= 0;
    if (!ok) zip_source_free(source);
    ok = ok && zip_set_file_compression(archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                        detail::kDeflateLevel) == 0;
    ok = ok && (!protect || zip_file_set_encryption(archive.get(), static_cast<zip_uint64_t>(index), ZIP_EM_AES_256,
                                                    archivePassword_.c_str()) == 0);
    if (!ok) return Fail("Cannot add \"" + pending_[i].path + "\": " + zip_strerror(archive.get()));
  }
  // libzip writes beside the temporary file and moves its result over it; on failure it
  // removes what it wrote and the archive stays open, to be discarded.
  if (zip_close(archive.get()) != 0) {
    if (!unreadable.path.empty()) return Fail(CannotRead(unreadable.path, unreadable.error));
    return Fail(std::string("Cannot write the archive: ") + zip_strerror(archive.get()));
  }
  archive.release();  // closed
  return true;
}

}  // namespace quarnel::archive
