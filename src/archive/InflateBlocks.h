#pragma once
// Decoding raw deflate blocks that lie whole in memory. Reading a backup back is bound by
// inflating; zlib's inflate, built to stop and resume anywhere, decodes one symbol per trip
// through its loop. Here a block is decoded from a buffer that holds all of it, with a 64-bit
// bit buffer refilled without branches and table lookups for the literal/length codes, which
// is about twice as fast on the content of mail folders. The caller keeps the stream going
// block by block, and hands a block that does not fit the buffers to zlib instead.
//
// A block is refused exactly where zlib refuses it: an invalid block type, stored lengths
// that disagree, too many or incomplete or over-subscribed codes, a missing end-of-block
// code, a repeat with nothing before it, the symbols no encoder may use, and a distance
// further back than the content so far.
#include <cstddef>
#include <cstdint>

namespace quarnel::archive::detail {

// Lookup tables of one block's codes. Entries: bits 0-7 the bits a lookup consumes, 8-11 the
// extra bits that follow (for literals: how many follow the first), 12-15 the kind, 16-31
// the value (one or two literals, a base, or where a second-level table starts).
struct InflateTables {
  static constexpr int kLiteralBits = 12;
  static constexpr int kDistanceBits = 8;
  // Room for any code: each second-level table serves at least one code and reaches 15 bits.
  static constexpr std::size_t kLiteralSize = (1u << kLiteralBits) + 288 * (1u << (15 - kLiteralBits));
  static constexpr std::size_t kDistanceSize = (1u << kDistanceBits) + 32 * (1u << (15 - kDistanceBits));
  std::uint32_t literal[kLiteralSize];
  std::uint32_t distance[kDistanceSize];
};

enum class BlockResult {
  kEnded,       // a block ended; more follow
  kFinalEnded,  // the stream's last block ended
  kShortInput,  // the input ends inside the block
  kFullOutput,  // the block's content does not fit the output
  kDamaged,     // not a valid block
};

// Decodes the block that starts *bit bits into in[0, inLength) into out[*produced, capacity).
// out[0, *produced) holds the content before the block: its distances may reach that far back
// and no further. When a block ended, *bit and *produced are past it; otherwise they are as
// they were (out past *produced may have been written).
BlockResult InflateBlock(const unsigned char* in, std::size_t inLength, std::size_t* bit, unsigned char* out,
                         std::size_t* produced, std::size_t capacity, InflateTables& tables);

}  // namespace quarnel::archive::detail
