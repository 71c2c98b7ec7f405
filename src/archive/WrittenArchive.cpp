#include "archive/WrittenArchive.h"

#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

#include "archive/EntryReader.h"
#include "archive/LocalFile.h"
#include "platform/Services.h"
#include "platform/Threads.h"

namespace quarnel::archive::detail {
namespace {

bool EntriesAreNamed(zip_t* archive, const std::vector<WrittenEntry>& entries, std::string* message) {
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  if (count != static_cast<zip_int64_t>(entries.size())) {
    *message = "the archive holds " + std::to_string(count) + " entries instead of " + std::to_string(entries.size());
    return false;
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const char* stored = zip_get_name(archive, i, ZIP_FL_ENC_RAW);
    if (!stored || entries[i].utf8Name != stored) {
      *message = "entry " + std::to_string(i + 1) + " is not named \"" + entries[i].name + "\"";
      return false;
    }
  }
  return true;
}

// The entries are shared out between readers, one per processor, each with its own handle on
// the archive (a handle serves one thread at a time). Inflating is what the check spends its
// time on, and one entry's blocks must be inflated in order, so on a job whose mail is in many
// folders this is where the processors are used. The largest entries go first, so that the
// readers end together; each entry still reads in stages where it can, which keeps every
// processor busy when one large entry is all that is left.
class ReadBack {
 public:
  ReadBack(zip_t* archive, const std::vector<WrittenEntry>& entries, const std::string& password)
      : entries_(entries), password_(password), reasons_(entries.size()) {
    std::vector<zip_uint64_t> stored(entries.size(), 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      zip_stat_t st;
      if (zip_stat_index(archive, i, 0, &st) == 0 && (st.valid & ZIP_STAT_COMP_SIZE)) stored[i] = st.comp_size;
      order_.push_back(i);
    }
    std::stable_sort(order_.begin(), order_.end(), [&](std::size_t a, std::size_t b) { return stored[a] > stored[b]; });
  }

  // Reads entries until none is left. As one after the other, the failure reported is that of
  // the first entry in the archive that fails: once one has failed, only the entries before it
  // are still read.
  void Work(zip_t* archive) {
    for (;;) {
      const std::size_t next = next_++;
      if (next >= order_.size()) return;
      const std::size_t i = order_[next];
      if (i > failedAt_) continue;
      std::string reason;
      if (EntryReadsBack(archive, entries_[i], i, &reason) || i > failedAt_) continue;
      reasons_[i] = reason;
      std::size_t at = failedAt_;
      while (i < at && !failedAt_.compare_exchange_weak(at, i)) {
      }
    }
  }

  // After every reader has ended: the failure of the first entry that failed, if any.
  bool Good(std::string* message) const {
    if (failedAt_ >= reasons_.size()) return true;
    *message = reasons_[failedAt_];
    return false;
  }

 private:
  bool EntryReadsBack(zip_t* archive, const WrittenEntry& entry, std::size_t i, std::string* message) {
    uLong crc = crc32(0L, Z_NULL, 0);
    std::uint64_t size = 0;
    std::string reason;
    // An earlier entry's failure ends this one early (its own reason no longer counts).
    auto sum = [&](const char* data, std::size_t n) {
      crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
      size += n;
      return i < failedAt_;
    };
    if (!ReadEntryChecked(archive, i, password_, sum, &reason)) {
      *message = "\"" + entry.name + "\" does not read back: " + reason;
      return false;
    }
    if (crc != entry.crc || size != entry.size) {
      *message = "\"" + entry.name + "\" reads back other than its file was read";
      return false;
    }
    return true;
  }

  const std::vector<WrittenEntry>& entries_;
  const std::string& password_;
  std::vector<std::size_t> order_;
  std::vector<std::string> reasons_;  // by entry, each written by the one reader that read it
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> failedAt_{SIZE_MAX};  // the first entry known to fail
};

// A reader beside the caller's thread, on a handle of its own.
struct Helper {
  zip_t* archive = nullptr;
  platform::Thread thread;
  ~Helper() {
    thread.Join();
    if (archive) zip_discard(archive);
  }
};

}  // namespace

bool ReadsBackAsWritten(const std::string& path, const std::vector<WrittenEntry>& entries, const std::string& password,
                        std::string* message) {
  std::string reason;
  zip_t* archive = OpenZip(path, ZIP_RDONLY | ZIP_CHECKCONS, &reason);
  if (!archive) {
    *message = "the archive cannot be opened again: " + reason;
    return false;
  }
  bool good = EntriesAreNamed(archive, entries, message);
  if (good) {
    ReadBack readBack(archive, entries, password);
    const int processors = std::max(1, platform::System().ProcessorCount());
    const std::size_t readers = std::min<std::size_t>(processors, entries.size());
    std::vector<std::unique_ptr<Helper>> helpers;
    // A handle or thread the system refuses only means fewer readers.
    for (std::size_t n = 1; n < readers; ++n) {
      auto helper = std::make_unique<Helper>();
      helper->archive = OpenZip(path, ZIP_RDONLY, &reason);
      if (!helper->archive) break;
      zip_t* own = helper->archive;
      if (!helper->thread.Start([&readBack, own] { readBack.Work(own); })) break;
      helpers.push_back(std::move(helper));
    }
    readBack.Work(archive);
    helpers.clear();
    good = readBack.Good(message);
  }
  zip_discard(archive);
  return good;
}

}  // namespace quarnel::archive::detail
