#pragma once
// Taking an entry's content out of an archive: its stored data (decrypted and authenticated
// where we do that ourselves) goes through the content check (inflating, size, CRC) to the
// caller's sink. On one processor the steps follow one another on the caller's thread; on
// more, they overlap in three stages (reading and decrypting, inflating, the sink) joined by
// bounded queues of fixed-size pieces, so memory does not grow with the entry. Either way
// the result is decided only after the last byte: the sink may have received content that
// later fails its authentication code or CRC, so it must write somewhere temporary.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/EntryContent.h"

namespace quarnel::archive::detail {

// An entry's stored data in order, piece by piece; read by one thread at a time.
class StoredData {
 public:
  virtual ~StoredData() = default;
  // Up to size bytes into data: how many, 0 at the end, or -1 with the reason.
  virtual std::int64_t Read(unsigned char* data, std::size_t size, std::string* message) = 0;
  // After the end: what closes the data (a WinZip AES entry's authentication code) must match.
  virtual bool Close(std::string* message) = 0;
};

enum class ReadMode {
  kOneThread,     // every step on the caller's thread
  kStages,        // reading, inflating and the sink overlap on three threads
  kByProcessors,  // kStages where the system has more than one processor
};

// The content described by st (its method, size and CRC as EntryContent takes them) from
// data to sink, the sink always called on the caller's thread. True when all of it arrived
// and every check passed; otherwise false with the first failure's reason. A failure at any
// stage stops the others at their next piece.
bool ReadContent(StoredData& data, const zip_stat_t& st, const ChunkSink& sink, ReadMode mode, std::string* message);

}  // namespace quarnel::archive::detail
