#pragma once
// A raw deflate stream inflated as its pieces arrive. Whole blocks are decoded by
// InflateBlock once enough of the stream is held; a block too large for the buffers (a long
// stored block, or a run of long matches that inflates to more than a mebibyte) goes through
// zlib, primed with the bits and the content before it, and the next block is back on the
// fast path. Memory is fixed: a few mebibytes whatever the stream holds.
#include <zlib.h>

#include <cstddef>
#include <functional>
#include <memory>

#include "archive/InflateBlocks.h"

namespace quarnel::archive::detail {

class Inflater {
 public:
  enum class Status {
    kGood,       // all taken in; more may follow
    kEnded,      // the stream's last block ended, and nothing follows it
    kRunsOn,     // bytes follow the last block
    kShort,      // (Finish) the stream ends inside a block
    kDamaged,    // not a valid deflate stream
    kNoMemory,
    kRefused,    // the output refused what it was given
  };
  // Receives the content in order; returning false stops the inflating.
  using Output = std::function<bool(const unsigned char* data, std::size_t size)>;

  explicit Inflater(Output output);
  ~Inflater();
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool Begin();  // false: no memory
  Status Feed(const unsigned char* data, std::size_t size);
  // After the last piece: what is held is decoded to the end.
  Status Finish();

 private:
  Status Decode(bool finishing);
  Status DecodeByZlib(bool finishing);
  bool StartZlib();
  bool HandOn();

  Output output_;
  std::unique_ptr<unsigned char[]> input_;
  std::size_t held_ = 0;       // bytes of input_ in use
  std::size_t bit_ = 0;        // where the next block starts in input_
  std::unique_ptr<unsigned char[]> window_;
  std::size_t history_ = 0;    // window_[0, history_): content already handed on, kept for distances
  std::size_t produced_ = 0;   // window_[history_, produced_): content not yet handed on
  std::unique_ptr<InflateTables> tables_;
  z_stream z_{};
  bool zlibReady_ = false;
  bool inZlib_ = false;        // the current block is zlib's
  std::size_t zlibAt_ = 0;     // where zlib takes its next byte in input_
  Status ended_ = Status::kGood;
};

}  // namespace quarnel::archive::detail
