#pragma once
// Deflating a large file on several threads at once. The file is cut into blocks of a fixed
// size; each block is deflated on its own, primed with the 32 KiB before it as its
// dictionary, and ended on a byte boundary (a sync flush), so that the blocks' outputs joined
// in order and closed by an empty final block make one standard deflate stream, and the
// blocks' CRCs combine into the file's. The bytes depend on the block layout alone, never
// on which thread deflated which block or when. Memory is bounded by the blocks in flight.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Files.h"
#include "platform/Threads.h"

namespace quarnel::archive::detail {

// Large enough that handing blocks between threads costs nothing measurable (with 128 KiB
// blocks one worker on one core was a few percent slower than one stream under Wine).
inline constexpr std::size_t kDeflateBlockSize = 512 * 1024;
inline constexpr std::size_t kDeflateDictionarySize = 32 * 1024;
// Smaller files gain little from blocks; they are deflated as one stream.
inline constexpr std::uint64_t kBlockDeflateMinimum = 4 * kDeflateBlockSize;
// zlib's default level, with the memory level libzip deflates with: sizes stay as they were.
inline constexpr int kDeflateLevel = 6;
inline constexpr int kDeflateMemoryLevel = 9;

// One block: its input (the dictionary, then its own bytes) and what becomes of it.
struct DeflateBlock {
  std::vector<unsigned char> input;
  std::size_t dictionary = 0;
  std::vector<unsigned char> output;
  std::size_t outputLength = 0;
  uLong crc = 0;          // of its own bytes
  bool deflated = false;  // false: zlib failed (no memory)
  platform::Semaphore done;  // posted once it is deflated or has failed

  std::size_t Length() const { return input.size() - dictionary; }
};

// A raw deflate stream at our level, reused block after block; one per thread.
class BlockDeflater {
 public:
  BlockDeflater();
  ~BlockDeflater();
  BlockDeflater(const BlockDeflater&) = delete;
  BlockDeflater& operator=(const BlockDeflater&) = delete;
  void Deflate(DeflateBlock& block);

 private:
  z_stream z_{};
  bool ready_ = false;
};

// Worker threads that deflate queued blocks in the order queued. When the system starts
// none, blocks are deflated on the queuing thread, with the same bytes.
class DeflatePool {
 public:
  static constexpr int kMaxWorkers = 16;
  explicit DeflatePool(int workers);
  ~DeflatePool();  // the queue must be empty: every stream waits for its blocks
  DeflatePool(const DeflatePool&) = delete;
  DeflatePool& operator=(const DeflatePool&) = delete;

  int Workers() const { return static_cast<int>(threads_.size()); }
  // How many blocks one stream keeps queued or unread: enough to keep every worker busy.
  std::size_t BlocksInFlight() const { return 2 * threads_.size() + 2; }
  // block.done is posted when it has been deflated.
  void Queue(DeflateBlock* block);

 private:
  void Work();

  platform::Mutex lock_;
  platform::Semaphore queued_;
  std::deque<DeflateBlock*> queue_;
  std::vector<std::unique_ptr<platform::Thread>> threads_;
  BlockDeflater here_;
};

// A file's content deflated in blocks by the pool, read in order like any stream. The
// caller's thread reads the file and hands on the output; the workers only deflate.
class BlockDeflateStream {
 public:
  enum class Failure { kNone, kRead, kDeflate };

  explicit BlockDeflateStream(DeflatePool& pool);
  ~BlockDeflateStream();  // waits for the blocks still in flight
  BlockDeflateStream(const BlockDeflateStream&) = delete;
  BlockDeflateStream& operator=(const BlockDeflateStream&) = delete;

  // Starts over with a file just opened; onRead hears of every piece read from it. False
  // when the system has no semaphore for a block.
  bool Start(std::unique_ptr<platform::InputFile> file, std::function<void(std::size_t)> onRead);
  // Up to size bytes of the deflate stream, in order; 0 at its end, -1 on a failure.
  std::int64_t Read(unsigned char* out, std::size_t size);
  // Waits for the blocks in flight, closes the file and frees the blocks.
  void Stop();

  Failure Failed() const { return failure_; }
  bool Finished() const { return finished_; }
  // Of the file's bytes read so far, and of the deflate stream handed on so far.
  uLong Crc() const { return crc_; }
  std::uint64_t Size() const { return size_; }
  std::uint64_t CompressedSize() const { return compressed_; }

 private:
  DeflateBlock& Slot(std::uint64_t block) { return *slots_[block % slots_.size()]; }
  bool Fill();

  DeflatePool& pool_;
  std::vector<std::unique_ptr<DeflateBlock>> slots_;
  std::unique_ptr<platform::InputFile> file_;
  std::function<void(std::size_t)> onRead_;
  std::uint64_t queued_ = 0;  // blocks read and queued
  std::uint64_t taken_ = 0;   // blocks whose output has been handed on whole
  bool current_ = false;      // block taken_ is deflated and being handed on
  std::size_t offset_ = 0;    // into its output
  bool fileEnded_ = false;
  std::size_t endGiven_ = 0;  // bytes of the closing empty block handed on
  bool finished_ = false;
  Failure failure_ = Failure::kNone;
  uLong crc_ = 0;
  std::uint64_t size_ = 0;
  std::uint64_t compressed_ = 0;
};

}  // namespace quarnel::archive::detail
