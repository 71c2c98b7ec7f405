#pragma once
// Zip1: the program's one archive component over libzip. It holds at most one archive at
// a time: either one being built (NewArchive, AppendPath, WriteArchive) or one opened for
// reading (OpenArchive, FindEntry, ExtractToFolder). Paths and names are ANSI text.
//
// Entries are named by the base name of the file they were made from and stored in UTF-8
// with the UTF-8 flag. Protected archives use WinZip AES-256; entries are deflated.
// Every file this component writes is first written beside its destination under a
// temporary name (kTemporaryPrefix), flushed to the disk and moved over the destination
// only when complete and checked, so a failure leaves the older file as it was and removes
// the temporary one. Failures are returned as false (or 0, or no entry) with a description
// in LastError(). Passwords are wiped from memory as soon as they are no longer needed.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveListener.h"

namespace quarnel::archive {
namespace detail {
struct FileFacts;
struct WrittenEntry;
class WriteProgress;
}

// The start of the name of every temporary file the component makes ("~qb" and a hex
// number, ".tmp"; libzip's own, made while writing, add a suffix to such a name).
inline constexpr char kTemporaryPrefix[] = "~qb";

class ZipArchive;

// An entry's name (ANSI) with the size and CRC-32 of its content.
struct EntryFacts {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
};
// Receives an entry's content in order; returning false stops the reading as failed.
using ContentSink = std::function<bool(const char* data, std::size_t size)>;

// One entry of the open archive, as FindEntry found it. It refers to the archive by
// reference: once the archive is closed or another one opened, extracting fails.
class ArchiveEntry {
 public:
  const std::string& Name() const { return name_; }
  // Writes the entry's content to folder\Name(), replacing a file of that name once the
  // content has been read completely and checked. Refuses, before anything is read or
  // written, a name that is not a bare file name (IsSafeEntryName) and an entry that states
  // a size larger than the free space of the folder's volume; stops as soon as the content
  // runs past its stated size. False on any failure, with the existing file untouched.
  bool ExtractToFolder(const std::string& folder) const;
  // The same, written to the file at path (in an existing folder) instead of folder\Name().
  bool ExtractToFile(const std::string& path) const;
  // Reads the content to its end with every check, as the extractions do; writes nothing.
  bool Check() const;
  // The content, checked as an extraction checks it, to the sink on the caller's thread. True
  // only when all of it arrived and passed every check; otherwise false with the reason in
  // the archive's LastError(). The sink may have received content that a later check
  // refuses, so what it makes of it must be undone on false.
  bool ReadTo(const ContentSink& sink) const;
  // The size of the content as the archive states it (extraction holds it to that size);
  // none once the archive is closed.
  std::optional<std::uint64_t> StatedSize() const;

 private:
  friend class ZipArchive;

// Receives an entry's content in order; returning false stops the reading as failed.
using ContentSink = std::function<bool(const char* data, std::size_t size)>;
  ArchiveEntry(ZipArchive* owner, std::uint64_t generation, std::uint64_t index, std::string name)
      : owner_(owner), generation_(generation), index_(index), name_(std::move(name)) {}

  ZipArchive* owner_;
  std::uint64_t generation_;
  std::uint64_t index_;
  std::string name_;
};

class ZipArchive {
 public:
  explicit ZipArchive(ArchiveListener* listener = nullptr);
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  void SetListener(ArchiveListener* listener) { listener_ = listener; }

  const std::string& BaseFolder() const { return baseFolder_; }
  void BaseFolder(const std::string& folder) { baseFolder_ = folder; }

  // Drops the archive in hand, built or opened, and wipes both passwords; harmless when
  // there is none.
  void CloseArchive();

  // Starts a new archive for path (closing the one in hand); nothing is written before
  // WriteArchive.
  void NewArchive(const std::string& path);
  // The file becomes one entry named by its base name. A later file of the same base name
  // takes the earlier one's place. False when no archive is being built or the path has
  // no file name; the file itself is read only by WriteArchive.
  bool AppendPath(const std::string& path);
  // The same for the entry that closes the archive, which is written after every other: its
  // content is the file's bytes followed by the text `trailer` makes of the facts of every
  // entry before it, as they were read from their files while they were written.
  using Trailer = std::function<std::string(const std::vector<EntryFacts>&)>;
  bool AppendClosingPath(const std::string& path, Trailer trailer);

  const std::string& ArchivePassword() const { return archivePassword_; }
  void ArchivePassword(const std::string& password) { archivePassword_ = password; }
  int EncryptionMode() const { return encryptionMode_; }
  void EncryptionMode(int mode) { encryptionMode_ = mode; }

  // Read the written archive back before it replaces the target (off unless asked for).
  void VerifyAfterWrite(bool on) { verifyAfterWrite_ = on; }

  // How files are deflated. kOnePerProcessor (the default): files of a few blocks and more
  // in blocks on one worker thread per processor, the rest as one stream on the caller's
  // thread; with one processor everything as one stream. kOneStream: everything as one
  // stream. A number above 0: that many worker threads for the large files. The workers
  // change the time a write takes, never the archive's bytes.
  static constexpr int kOnePerProcessor = 0;
  static constexpr int kOneStream = -1;
  void DeflateWorkers(int workers) { deflateWorkers_ = workers; }

  // Writes the archive begun by NewArchive with every appended file. Returns when the file
  // is complete on disk and in place; false (and no OnWriteDone) on any failure, the file
  // previously at the path then being left as it was. A file that cannot be read is named
  // in LastError(). With VerifyAfterWrite on, the flushed file is read back completely
  // (every entry's content against what was read from its file, its CRC, and with a
  // password its authentication code) after OnVerifying, and put in place only when all
  // pass; LastError() then starts with "Verification failed". The archive password is
  // wiped afterwards, whatever the outcome.
  bool WriteArchive();

  // 1 when the archive at path has an entry that needs a password; 0 otherwise, also when
  // it cannot be opened. The archive in hand is not affected.
  int IsArchiveProtected(const std::string& path);

  // Opens an archive for reading in place of the one in hand (closing it, so without a
  // password: set ReadPassword after opening).
  bool OpenArchive(const std::string& path);

  // With a read password in force every entry read must be protected: an unprotected one
  // is refused as an alteration of a protected archive.
  const std::string& ReadPassword() const { return readPassword_; }
  void ReadPassword(const std::string& password);

  // Holds every entry read from the open archive from now on to what it was made of: an
  // entry must be listed by its name, deflated, of the listed size and CRC, or it is
  // refused, before anything is written. Until another archive is opened.
  void ExpectEntries(const std::vector<EntryFacts>& record);
  bool ExpectsEntries() const { return expected_.has_value(); }

  // 1 when ReadPassword decrypts the open archive; 1 also for an archive that needs no
  // password; 0 when no archive is open or the password does not decrypt. One entry that
  // needs the password decides: the cheapest whose check is conclusive. A WinZip AES
  // entry's authentication code is checked without inflating anything; a traditionally
  // protected entry is read to its end (no further than its stated size) for its CRC.
  int CheckPassword();

  // The entry of that name (ANSI) in the open archive: matched on its UTF-8 form, then, for
  // archives written without UTF-8 names, on the bytes as given.
  std::optional<ArchiveEntry> FindEntry(const std::string& name);
  // The names of the open archive's entries in their order, as ANSI text; a UTF-8 name that
  // ANSI cannot hold as its bytes. FindEntry finds each of them.
  std::vector<std::string> EntryNames();

  const std::string& LastError() const { return lastError_; }

 private:
  friend class ArchiveEntry;
  struct Pending {
    std::string path;       // the file to read
    std::string entryName;  // its base name, ANSI
    Trailer trailer;        // for the closing entry
  };
  struct Reader;

  // With fileName empty, the entry is only checked.
  bool Extract(std::uint64_t generation, std::uint64_t index, const std::string& name,
               const std::string& folder, const std::string& fileName);
  bool Read(std::uint64_t generation, std::uint64_t index, const std::string& name, const ContentSink& sink);
  std::optional<std::uint64_t> StatedSize(std::uint64_t generation, std::uint64_t index);
  bool Write();
  bool WriteEntries(const std::string& temporary, const std::vector<detail::FileFacts>& facts,
                    detail::WriteProgress& progress, std::vector<detail::WrittenEntry>* written);
  int DeflateWorkerCount() const;  // 0: one stream
  bool Fail(std::string message);
  ArchiveListener& Listener();
  void ApplyReadPassword();

  ArchiveListener* listener_;
  std::string baseFolder_;
  std::string archivePassword_;
  int encryptionMode_ = 0;
  bool verifyAfterWrite_ = false;
  int deflateWorkers_ = kOnePerProcessor;
  std::string readPassword_;
  std::optional<std::vector<EntryFacts>> expected_;  // names in UTF-8, as stored
  std::string lastError_;

  bool building_ = false;
  std::string targetPath_;
  std::vector<Pending> pending_;

  std::unique_ptr<Reader> reader_;
  std::uint64_t generation_ = 0;  // changes whenever the archive in hand changes
};

}  // namespace quarnel::archive
