#include "archive/Inflater.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace quarnel::archive::detail {
namespace {

constexpr std::size_t kHistory = 32 * 1024;  // the farthest a distance reaches
// Room for the content of most blocks; a block that needs more goes through zlib.
constexpr std::size_t kRoom = 1024 * 1024;
// Content is handed on in pieces of about this size, not block by block.
constexpr std::size_t kHandOnAt = 256 * 1024;
// A block is decoded once this much of the stream is held from its start (it is then whole,
// but for the rare long one); a block still short with kMostHeld held goes through zlib.
constexpr std::size_t kAhead = 256 * 1024;
constexpr std::size_t kMostHeld = 2 * 1024 * 1024;
constexpr std::size_t kSlice = 256 * 1024;  // taken in at a time
constexpr std::size_t kInputSize = kMostHeld + kSlice + 1;
constexpr std::size_t kWindowSize = kHistory + kRoom;

}  // namespace

Inflater::Inflater(Output output) : output_(std::move(output)) {}

Inflater::~Inflater() {
  if (zlibReady_) inflateEnd(&z_);
}

bool Inflater::Begin() {
  // Left as they come: only what is written is read.
  input_.reset(new (std::nothrow) unsigned char[kInputSize]);
  window_.reset(new (std::nothrow) unsigned char[kWindowSize]);
  tables_.reset(new (std::nothrow) InflateTables);
  return input_ && window_ && tables_;
}

Inflater::Status Inflater::Feed(const unsigned char* data, std::size_t size) {
  while (size > 0) {
    if (ended_ != Status::kGood) return Status::kRunsOn;
    // Only what the current block still needs is kept: from its start, or for zlib the byte
    // before its next one (where a block it ends may leave bits of the next).
    const std::size_t keep = inZlib_ ? (zlibAt_ > 0 ? zlibAt_ - 1 : 0) : bit_ / 8;
    std::memmove(input_.get(), input_.get() + keep, held_ - keep);
    held_ -= keep;
    if (inZlib_) {
      zlibAt_ -= keep;
    } else {
      bit_ -= 8 * keep;
    }
    const std::size_t slice = std::min(size, kSlice);
    std::memcpy(input_.get() + held_, data, slice);
    held_ += slice;
    data += slice;
    size -= slice;
    const Status status = Decode(false);
    if (status != Status::kGood && status != Status::kEnded) return status;
  }
  return ended_;
}

Inflater::Status Inflater::Finish() {
  if (ended_ != Status::kGood) return ended_;
  return Decode(true);
}

Inflater::Status Inflater::Decode(bool finishing) {
  for (;;) {
    if (inZlib_) {
      const Status status = DecodeByZlib(finishing);
      if (status != Status::kGood || inZlib_) return status;
    }
    const std::size_t available = held_ - bit_ / 8;
    if (available == 0 || (!finishing && available < kAhead)) return finishing ? Status::kShort : Status::kGood;
    std::size_t bit = bit_, produced = produced_;
    switch (InflateBlock(input_.get(), held_, &bit, window_.get(), &produced, kWindowSize, *tables_)) {
      case BlockResult::kEnded:
        bit_ = bit;
        produced_ = produced;
        if (produced_ - history_ >= kHandOnAt && !HandOn()) return Status::kRefused;
        break;
      case BlockResult::kFinalEnded:
        bit_ = bit;
        produced_ = produced;
        if (!HandOn()) return Status::kRefused;
        ended_ = held_ > (bit_ + 7) / 8 ? Status::kRunsOn : Status::kEnded;
        return ended_;
      case BlockResult::kShortInput:
        if (finishing) return Status::kShort;
        if (available < kMostHeld) return Status::kGood;
        if (!StartZlib()) return Status::kNoMemory;
        break;
      case BlockResult::kFullOutput:
        if (produced_ > history_) {  // hand on what is there, and try again with the room it leaves
          if (!HandOn()) return Status::kRefused;
        } else if (!StartZlib()) {
          return Status::kNoMemory;
        }
        break;
      case BlockResult::kDamaged:
        return Status::kDamaged;
    }
  }
}

// zlib takes over the block starting at bit_, with the content before it as its dictionary
// and the bits of the block's first byte that belong to it.
bool Inflater::StartZlib() {
  if (!zlibReady_) {
    zlibReady_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
    if (!zlibReady_) return false;
  } else if (inflateReset(&z_) != Z_OK) {
    return false;
  }
  const std::size_t dictionary = std::min(kHistory, produced_);
  if (dictionary > 0 &&
      inflateSetDictionary(&z_, window_.get() + produced_ - dictionary, static_cast<uInt>(dictionary)) != Z_OK) {
    return false;
  }
  zlibAt_ = bit_ / 8;
  const unsigned used = bit_ & 7;
  if (used > 0) {
    if (inflatePrime(&z_, static_cast<int>(8 - used), input_[zlibAt_] >> used) != Z_OK) return false;
    ++zlibAt_;
  }
  inZlib_ = true;
  return true;
}

// Until the block ends (and the fast path takes the next), the input runs out or the stream
// ends.
Inflater::Status Inflater::DecodeByZlib(bool finishing) {
  for (;;) {
    if (produced_ == kWindowSize && !HandOn()) return Status::kRefused;
    z_.next_in = input_.get() + zlibAt_;
    z_.avail_in = static_cast<uInt>(held_ - zlibAt_);
    z_.next_out = window_.get() + produced_;
    z_.avail_out = static_cast<uInt>(kWindowSize - produced_);
    const int result = inflate(&z_, Z_BLOCK);
    zlibAt_ = static_cast<std::size_t>(z_.next_in - input_.get());
    produced_ = static_cast<std::size_t>(z_.next_out - window_.get());
    if (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END) return Status::kDamaged;
    // At a block's end zlib stops, saying whether it was the stream's last.
    if (result == Z_STREAM_END || (z_.data_type & 128 && z_.data_type & 64)) {
      inZlib_ = false;
      if (!HandOn()) return Status::kRefused;
      ended_ = zlibAt_ < held_ ? Status::kRunsOn : Status::kEnded;
      return ended_;
    }
    if (z_.data_type & 128) {  // the bits zlib holds are the next block's
      inZlib_ = false;
      bit_ = 8 * zlibAt_ - (static_cast<unsigned>(z_.data_type) & 7);
      if (produced_ - history_ >= kHandOnAt && !HandOn()) return Status::kRefused;
      return Status::kGood;
    }
    if (z_.avail_in == 0) return finishing ? Status::kShort : Status::kGood;
  }
}

bool Inflater::HandOn() {
  if (produced_ > history_ && !output_(window_.get() + history_, produced_ - history_)) return false;
  const std::size_t keep = std::min(kHistory, produced_);
  std::memmove(window_.get(), window_.get() + produced_ - keep, keep);
  history_ = produced_ = keep;
  return true;
}

}  // namespace quarnel::archive::detail
