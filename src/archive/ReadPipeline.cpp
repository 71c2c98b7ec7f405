#include "archive/ReadPipeline.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Services.h"
#include "platform/Threads.h"

namespace quarnel::archive::detail {
namespace {

constexpr std::size_t kChunk = 64 * 1024;
// Large pieces keep the handing over between threads rare; a few per queue keep each stage
// busy while the next one catches up. Memory: 2 queues x 8 pieces x 256 KiB. (Pieces of
// 1 MiB cost more system time under Wine than the hand-offs they saved.)
constexpr std::size_t kPieceSize = 256 * 1024;
constexpr std::size_t kPiecesPerQueue = 8;
// The inflating stage, the slowest, hands its pieces on (and back) this many at a time: the
// faster stages then sleep and are woken once per batch instead of once per piece, and a
// wake-up is what costs (under Wine a round trip to the wineserver that the inflating thread
// waits for). Fewer than kPiecesPerQueue, and everything held is handed on before the
// inflating stage waits, so no stage can wait for a piece another holds back.
constexpr long kBatch = 4;

bool ReadOnOneThread(StoredData& data, const zip_stat_t& st, const ChunkSink& sink, std::string* message) {
  EntryContent content(st, sink);
  if (!content.Begin(message)) return false;
  std::vector<unsigned char> buffer(kChunk);
  for (;;) {
    std::int64_t n = data.Read(buffer.data(), buffer.size(), message);
    if (n < 0) return false;
    if (n == 0) break;
    if (!content.Feed(buffer.data(), static_cast<std::size_t>(n), message)) return false;
  }
  return data.Close(message) && content.End(message);
}

// What one stage hands the next. The last piece of a queue says how the stage ended.
struct Piece {
  std::vector<unsigned char> bytes;
  std::size_t length = 0;
  bool last = false;
  bool failed = false;
  std::string message;
};

// Pieces going round between one producing and one consuming stage, in order: the producer
// waits while all of them are full, the consumer while all are empty.
class PieceQueue {
 public:
  PieceQueue() : pieces_(kPiecesPerQueue) {
    for (Piece& piece : pieces_) {
      piece.bytes.resize(kPieceSize);
      empty_.Post();
    }
  }
  bool Usable() const { return empty_.Usable() && full_.Usable(); }

  // Null when taking one would mean waiting.
  Piece* TryTakeEmpty() { return empty_.TryWait() ? &Emptied() : nullptr; }
  Piece& TakeEmpty() {
    empty_.Wait();
    return Emptied();
  }
  void Pass(long count = 1) { full_.Post(count); }
  Piece* TryTakeFull() { return full_.TryWait() ? &pieces_[consumed_++ % pieces_.size()] : nullptr; }
  Piece& TakeFull() {
    full_.Wait();
    return pieces_[consumed_++ % pieces_.size()];
  }
  void Return(long count = 1) { empty_.Post(count); }

 private:
  Piece& Emptied() {
    Piece& piece = pieces_[produced_++ % pieces_.size()];
    piece.length = 0;
    piece.last = piece.failed = false;
    piece.message.clear();
    return piece;
  }

  std::vector<Piece> pieces_;
  platform::Semaphore empty_, full_;
  std::size_t produced_ = 0;  // the producer's alone
  std::size_t consumed_ = 0;  // the consumer's alone
};

// The three stages. Every stage, failed or not, passes on a last piece, and every consumer
// takes pieces until it has seen the last one, so no stage is ever left waiting; a failure
// makes the stages before it end at their next piece, and the first failure's reason is
// the one reported.
class Stages {
 public:
  Stages(StoredData& data, const zip_stat_t& st) : data_(data), st_(st) {}
  bool Usable() const { return raw_.Usable() && content_.Usable(); }

  void ReadStored() {
    for (;;) {
      Piece& piece = raw_.TakeEmpty();
      std::int64_t n = 0;
      if (stop_) {
        piece.failed = true;
      } else {
        n = data_.Read(piece.bytes.data(), piece.bytes.size(), &piece.message);
        piece.failed = n < 0 || (n == 0 && !data_.Close(&piece.message));
      }
      piece.last = n <= 0 || piece.failed;
      if (!piece.failed) piece.length = static_cast<std::size_t>(n);
      raw_.Pass();
      if (piece.last) return;
    }
  }

  void Inflate() {
    out_ = &TakeContentPiece();
    // The CRC is summed on the caller's thread, which has time to spare.
    EntryContent content(
        st_, [this](const char* data, std::size_t size) { return Hold(data, size); }, true);
    std::string message;
    bool good = content.Begin(&message);
    for (bool last = false; !last;) {
      Piece& in = TakeStoredPiece();
      last = in.last;
      if (good && in.failed) {
        good = false;
        message = in.message;
      }
      if (good && in.length > 0) good = content.Feed(in.bytes.data(), in.length, &message);
      if (good && last) good = content.End(&message);
      if (++returnsHeld_ == kBatch) HandOnHeld();
      if (!good) stop_ = true;
    }
    out_->last = true;
    out_->failed = !good;
    out_->message = message;
    ++passesHeld_;
    HandOnHeld();
  }

  // On the caller's thread.
  bool Deliver(const ChunkSink& sink, std::string* message) {
    bool good = true;
    const bool sumsCrc = EntryContent::CrcDecides(st_);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (bool last = false; !last;) {
      Piece& piece = content_.TakeFull();
      last = piece.last;
      if (sumsCrc && good) crc = crc32(crc, piece.bytes.data(), static_cast<uInt>(piece.length));
      if (good && piece.length > 0 && !sink(reinterpret_cast<const char*>(piece.bytes.data()), piece.length)) {
        good = false;
        *message = "the content could not be written";
        sinkFailed_ = stop_ = true;
      }
      if (good && piece.failed) {
        good = false;
        *message = piece.message;
      }
      content_.Return();
    }
    return good && !(sumsCrc && EntryContent::CrcFails(st_, crc, message));
  }

  // Ends the inflating stage before anything was read, when the reading one cannot start.
  void Abandon() {
    Piece& piece = raw_.TakeEmpty();
    piece.last = piece.failed = true;
    raw_.Pass();
  }

 private:
  // The inflated content into pieces for the caller's thread.
  bool Hold(const char* data, std::size_t size) {
    while (size > 0) {
      if (sinkFailed_) return false;
      if (out_->length == out_->bytes.size()) {
        if (++passesHeld_ == kBatch) HandOnHeld();
        out_ = &TakeContentPiece();
      }
      std::size_t n = std::min(size, out_->bytes.size() - out_->length);
      std::memcpy(out_->bytes.data() + out_->length, data, n);
      out_->length += n;
      data += n;
      size -= n;
    }
    return true;
  }

  // The inflating stage's side of both queues.
  void HandOnHeld() {
    raw_.Return(returnsHeld_);
    content_.Pass(passesHeld_);
    returnsHeld_ = passesHeld_ = 0;
  }
  Piece& TakeStoredPiece() {
    if (Piece* piece = raw_.TryTakeFull()) return *piece;
    HandOnHeld();
    return raw_.TakeFull();
  }
  Piece& TakeContentPiece() {
    if (Piece* piece = content_.TryTakeEmpty()) return *piece;
    HandOnHeld();
    return content_.TakeEmpty();
  }

  StoredData& data_;
  const zip_stat_t& st_;
  PieceQueue raw_, content_;
  Piece* out_ = nullptr;  // the inflating stage's, as are the two counts below
  long returnsHeld_ = 0;  // stored pieces done with, not yet given back to the reading stage
  long passesHeld_ = 0;   // content pieces filled, not yet passed to the caller's thread
  std::atomic<bool> stop_{false};        // a stage failed: the reading ends
  std::atomic<bool> sinkFailed_{false};  // the sink failed: the inflating ends too
};

bool ReadInStages(StoredData& data, const zip_stat_t& st, const ChunkSink& sink, std::string* message) {
  auto stages = std::make_unique<Stages>(data, st);
  if (!stages->Usable()) return ReadOnOneThread(data, st, sink, message);
  platform::Thread inflating, reading;
  if (!inflating.Start([&stages] { stages->Inflate(); })) return ReadOnOneThread(data, st, sink, message);
  if (!reading.Start([&stages] { stages->ReadStored(); })) {
    // Nothing has been read yet: the inflating stage is ended and the steps run one by one.
    stages->Abandon();
    std::string ignored;
    stages->Deliver([](const char*, std::size_t) { return true; }, &ignored);
    inflating.Join();
    return ReadOnOneThread(data, st, sink, message);
  }
  bool good = stages->Deliver(sink, message);
  reading.Join();
  inflating.Join();
  return good;
}

}  // namespace

bool ReadContent(StoredData& data, const zip_stat_t& st, const ChunkSink& sink, ReadMode mode, std::string* message) {
  if (mode == ReadMode::kByProcessors) {
    mode = platform::System().ProcessorCount() > 1 ? ReadMode::kStages : ReadMode::kOneThread;
  }
  if (mode == ReadMode::kStages) return ReadInStages(data, st, sink, message);
  return ReadOnOneThread(data, st, sink, message);
}

}  // namespace quarnel::archive::detail
