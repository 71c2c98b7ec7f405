#include "archive/BlockDeflate.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quarnel::archive::detail {
namespace {

// The empty final block (fixed codes) that closes a stream of sync-flushed blocks.
constexpr unsigned char kClosingBlock[] = {0x03, 0x00};

// Out of memory is a failure like any other here, on a worker thread or inside libzip.
bool Grow(std::vector<unsigned char>& bytes, std::size_t size) {
  if (bytes.size() >= size) return true;
  try {
    bytes.resize(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

}  // namespace

BlockDeflater::BlockDeflater() {
  ready_ = deflateInit2(&z_, kDeflateLevel, Z_DEFLATED, -MAX_WBITS, kDeflateMemoryLevel, Z_DEFAULT_STRATEGY) == Z_OK;
}

BlockDeflater::~BlockDeflater() {
  if (ready_) deflateEnd(&z_);
}

void BlockDeflater::Deflate(DeflateBlock& block) {
  block.deflated = false;
  block.outputLength = 0;
  const std::size_t length = block.Length();
  unsigned char* data = block.input.data() + block.dictionary;
  block.crc = crc32(crc32(0L, Z_NULL, 0), data, static_cast<uInt>(length));
  if (!ready_ || deflateReset(&z_) != Z_OK) return;
  if (block.dictionary > 0 &&
      deflateSetDictionary(&z_, block.input.data(), static_cast<uInt>(block.dictionary)) != Z_OK) {
    return;
  }
  // Enough for the block in one call; the sync flush's few bytes aside, as a last resort the
  // output grows.
  const std::size_t bound = deflateBound(&z_, static_cast<uLong>(length)) + 64;
  if (!Grow(block.output, bound)) return;
  z_.next_in = data;
  z_.avail_in = static_cast<uInt>(length);
  z_.next_out = block.output.data();
  z_.avail_out = static_cast<uInt>(block.output.size());
  for (;;) {
    const int result = deflate(&z_, Z_SYNC_FLUSH);
    if (result != Z_OK && result != Z_BUF_ERROR) return;
    if (z_.avail_out != 0) break;  // everything flushed
    const std::size_t used = block.output.size();
    if (!Grow(block.output, used + used / 2)) return;
    z_.next_out = block.output.data() + used;
    z_.avail_out = static_cast<uInt>(block.output.size() - used);
  }
  block.outputLength = block.output.size() - z_.avail_out;
  block.deflated = z_.avail_in == 0;
}

DeflatePool::DeflatePool(int workers) {
  workers = std::clamp(workers, 1, kMaxWorkers);
  if (!queued_.Usable()) return;
  // Out of memory part way leaves the workers already started (or none: the blocks are then
  // deflated on the queuing thread). It must not end the constructor with an exception: a
  // started worker would be joined while it waits for a block that never comes.
  try {
    threads_.reserve(static_cast<std::size_t>(workers));  // the push below cannot throw
    for (int i = 0; i < workers; ++i) {
      auto thread = std::make_unique<platform::Thread>();
      if (!thread->Start([this] { Work(); })) break;
      threads_.push_back(std::move(thread));
    }
  } catch (const std::bad_alloc&) {
  }
}

DeflatePool::~DeflatePool() {
  // A worker that finds the queue empty stops: one wake-up each.
  for (std::size_t i = 0; i < threads_.size(); ++i) queued_.Post();
  threads_.clear();  // joins
}

void DeflatePool::Queue(DeflateBlock* block) {
  if (threads_.empty()) {
    here_.Deflate(*block);
    block->done.Post();
    return;
  }
  bool queued = false;
  {
    platform::MutexLock lock(lock_);
    try {
      queue_.push_back(block);
      queued = true;
    } catch (const std::bad_alloc&) {
    }
  }
  if (queued) {
    queued_.Post();
    return;
  }
  // No room in the queue: the block is deflated here, so its stream never waits for it in vain.
  here_.Deflate(*block);
  block->done.Post();
}

void DeflatePool::Work() {
  BlockDeflater deflater;
  for (;;) {
    queued_.Wait();
    DeflateBlock* block;
    {
      platform::MutexLock lock(lock_);
      if (queue_.empty()) return;
      block = queue_.front();
      queue_.pop_front();
    }
    deflater.Deflate(*block);
    block->done.Post();
  }
}

BlockDeflateStream::BlockDeflateStream(DeflatePool& pool) : pool_(pool) {}

BlockDeflateStream::~BlockDeflateStream() { Stop(); }

bool BlockDeflateStream::Start(std::unique_ptr<platform::InputFile> file, std::function<void(std::size_t)> onRead) {
  Stop();
  try {
    while (slots_.size() < pool_.BlocksInFlight()) {
      slots_.push_back(std::make_unique<DeflateBlock>());
      if (!Grow(slots_.back()->input, kDeflateDictionarySize + kDeflateBlockSize)) return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (const auto& slot : slots_) {
    if (!slot->done.Usable()) return false;
  }
  file_ = std::move(file);
  onRead_ = std::move(onRead);
  queued_ = taken_ = 0;
  current_ = false;
  offset_ = 0;
  fileEnded_ = false;
  endGiven_ = 0;
  finished_ = false;
  failure_ = Failure::kNone;
  crc_ = crc32(0L, Z_NULL, 0);
  size_ = compressed_ = 0;
  return true;
}

void BlockDeflateStream::Stop() {
  for (; taken_ < queued_; ++taken_) {
    if (!current_) Slot(taken_).done.Wait();
    current_ = false;
  }
  file_.reset();
  // libzip keeps every entry's source until the whole archive is written: a file's blocks
  // must not stay behind with it.
  slots_.clear();
}

// Reads and queues blocks while there is room, each primed with the end of the one before.
bool BlockDeflateStream::Fill() {
  while (!fileEnded_ && queued_ - taken_ < slots_.size()) {
    DeflateBlock& block = Slot(queued_);
    std::size_t dictionary = 0;
    if (queued_ > 0) {
      const DeflateBlock& previous = Slot(queued_ - 1);  // whole: only the last block is short
      dictionary = std::min(kDeflateDictionarySize, previous.Length());
      block.input.resize(dictionary + kDeflateBlockSize);  // within the room made by Start
      std::memcpy(block.input.data(), previous.input.data() + previous.input.size() - dictionary, dictionary);
    } else {
      block.input.resize(kDeflateBlockSize);
    }
    const std::int64_t n = file_->Read(block.input.data() + dictionary, kDeflateBlockSize);
    if (n < 0) {
      failure_ = Failure::kRead;
      return false;
    }
    const auto length = static_cast<std::size_t>(n);
    block.input.resize(dictionary + length);
    block.dictionary = dictionary;
    if (length < kDeflateBlockSize) fileEnded_ = true;
    if (length == 0) break;
    if (onRead_) onRead_(length);
    pool_.Queue(&block);
    ++queued_;
  }
  return true;
}

std::int64_t BlockDeflateStream::Read(unsigned char* out, std::size_t size) {
  if (failure_ != Failure::kNone) return -1;
  for (;;) {
    if (current_) {
      const DeflateBlock& block = Slot(taken_);
      if (offset_ < block.outputLength) {
        const std::size_t n = std::min(size, block.outputLength - offset_);
        std::memcpy(out, block.output.data() + offset_, n);
        offset_ += n;
        return static_cast<std::int64_t>(n);
      }
      current_ = false;
      ++taken_;
    }
    if (!Fill()) return -1;
    if (taken_ == queued_) break;
    DeflateBlock& block = Slot(taken_);
    block.done.Wait();
    current_ = true;
    offset_ = 0;
    if (!block.deflated) {
      failure_ = Failure::kDeflate;
      return -1;
    }
    crc_ = crc32_combine(crc_, block.crc, static_cast<z_off_t>(block.Length()));
    size_ += block.Length();
    compressed_ += block.outputLength;
  }
  const std::size_t n = std::min(size, sizeof kClosingBlock - endGiven_);
  std::memcpy(out, kClosingBlock + endGiven_, n);
  endGiven_ += n;
  compressed_ += n;
  finished_ = endGiven_ == sizeof kClosingBlock;
  return static_cast<std::int64_t>(n);
}

}  // namespace quarnel::archive::detail
