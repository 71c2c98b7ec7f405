#include "archive/InflateBlocks.h"

#include <cstring>

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the bit buffer loads the stream as a little-endian integer"
#endif

namespace quarnel::archive::detail {
namespace {

constexpr std::uint32_t kValue = 0;  // a length base, a distance base, a code length symbol
constexpr std::uint32_t kLiteral = 1u << 12;
constexpr std::uint32_t kEndOfBlock = 2u << 12;
constexpr std::uint32_t kSubTable = 4u << 12;
constexpr std::uint32_t kInvalid = 8u << 12;

// The bits a lookup consumes are the entry's low byte, so that shifting the bit buffer by
// the entry itself (the processor takes the low six bits of a shift count) consumes them.
constexpr std::uint32_t Entry(std::uint32_t bits, std::uint32_t extra, std::uint32_t kind, std::uint32_t value) {
  return bits | (extra << 8) | kind | (value << 16);
}
inline unsigned Bits(std::uint32_t entry) { return entry & 63; }
inline unsigned Extra(std::uint32_t entry) { return (entry >> 8) & 15; }
inline std::uint32_t Value(std::uint32_t entry) { return entry >> 16; }
inline std::uint64_t Low(std::uint64_t buffer, unsigned bits) { return buffer & ((std::uint64_t{1} << bits) - 1); }

constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                           31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                             193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

enum class Code { kCodeLengths, kLiterals, kDistances };

std::uint32_t SymbolEntry(Code code, unsigned symbol) {
  switch (code) {
    case Code::kCodeLengths:
      return Entry(0, 0, kValue, symbol);
    case Code::kLiterals:
      if (symbol < 256) return Entry(0, 0, kLiteral, symbol);
      if (symbol == 256) return Entry(0, 0, kEndOfBlock, 0);
      if (symbol < 286) return Entry(0, kLengthExtra[symbol - 257], kValue, kLengthBase[symbol - 257]);
      return Entry(0, 0, kInvalid, 0);
    case Code::kDistances:
      if (symbol < 30) return Entry(0, kDistanceExtra[symbol], kValue, kDistanceBase[symbol]);
      return Entry(0, 0, kInvalid, 0);
  }
  return Entry(0, 0, kInvalid, 0);
}

struct ReversedBytes {
  std::uint8_t byte[256];
  constexpr ReversedBytes() : byte() {
    for (unsigned i = 0; i < 256; ++i) {
      for (unsigned b = 0; b < 8; ++b) byte[i] |= static_cast<std::uint8_t>(((i >> b) & 1) << (7 - b));
    }
  }
};
constexpr ReversedBytes kReversed;

// A code of at most 15 bits read from the other end, as the bit buffer holds it.
inline unsigned Reversed(unsigned code, unsigned bits) {
  const unsigned wide = (kReversed.byte[code & 255] << 8) | kReversed.byte[(code >> 8) & 255];
  return wide >> (16 - bits);
}

// The lookup table of the canonical code the lengths give, or false where zlib refuses the
// code: over-subscribed, or incomplete (which zlib allows only for a lone literal/length or
// distance code of one bit). Codes longer than rootBits go to second-level tables.
bool BuildTable(const std::uint8_t* lengths, unsigned symbols, unsigned rootBits, std::uint32_t* table,
                std::size_t tableSize, Code code) {
  unsigned count[16] = {};
  for (unsigned s = 0; s < symbols; ++s) ++count[lengths[s]];
  unsigned longest = 15;
  while (longest > 0 && count[longest] == 0) --longest;
  const std::uint32_t invalid = Entry(1, 0, kInvalid, 0);
  int left = 1;
  for (unsigned length = 1; length <= 15; ++length) {
    left = (left << 1) - static_cast<int>(count[length]);
    if (left < 0) return false;
  }
  // A complete code fills every entry; the rest are refused when read.
  if (left > 0) {
    for (std::size_t i = 0; i < (std::size_t{1} << rootBits); ++i) table[i] = invalid;
  }
  if (longest == 0) return true;  // nothing to decode: any code read is refused then
  if (left > 0 && (code == Code::kCodeLengths || longest != 1)) return false;

  // Symbols by code length, then by value: the order of their canonical codes.
  unsigned offset[16] = {};
  for (unsigned length = 2; length <= 15; ++length) offset[length] = offset[length - 1] + count[length - 1];
  unsigned sorted[288];
  for (unsigned s = 0; s < symbols; ++s) {
    if (lengths[s] != 0) sorted[offset[lengths[s]]++] = s;
  }
  const unsigned used = symbols - count[0];
  unsigned codes[288];
  unsigned next = 0, previous = lengths[sorted[0]];
  for (unsigned i = 0; i < used; ++i) {
    const unsigned length = lengths[sorted[i]];
    next <<= length - previous;
    previous = length;
    codes[i] = next++;
  }

  std::size_t free = std::size_t{1} << rootBits;
  for (unsigned i = 0; i < used;) {
    const unsigned length = lengths[sorted[i]];
    if (length <= rootBits) {
      const std::uint32_t entry = SymbolEntry(code, sorted[i]) | length;
      for (std::size_t k = Reversed(codes[i], length); k < (std::size_t{1} << rootBits); k += std::size_t{1} << length) {
        table[k] = entry;
      }
      ++i;
      continue;
    }
    // The codes sharing these first rootBits bits follow one another; the last is the longest.
    const unsigned prefix = codes[i] >> (length - rootBits);
    unsigned last = i;
    while (last + 1 < used && (codes[last + 1] >> (lengths[sorted[last + 1]] - rootBits)) == prefix) ++last;
    const unsigned subBits = lengths[sorted[last]] - rootBits;
    if (free + (std::size_t{1} << subBits) > tableSize) return false;
    for (std::size_t k = 0; k < (std::size_t{1} << subBits); ++k) table[free + k] = invalid;
    table[Reversed(prefix, rootBits)] = Entry(rootBits, subBits, kSubTable, static_cast<std::uint32_t>(free));
    for (; i <= last; ++i) {
      const unsigned rest = lengths[sorted[i]] - rootBits;
      const std::uint32_t entry = SymbolEntry(code, sorted[i]) | rest;
      for (std::size_t k = Reversed(codes[i] & ((1u << rest) - 1), rest); k < (std::size_t{1} << subBits); k += std::size_t{1} << rest) {
        table[free + k] = entry;
      }
    }
    free += std::size_t{1} << subBits;
  }
  if (code == Code::kLiterals) {
    // Where a literal's code leaves room in the first-level index for the whole code of a
    // second literal, the entry gives both: half the lookups on text. From the top down, so
    // that the entry read for the second (at a lower index) is still a single one.
    for (std::size_t i = (std::size_t{1} << rootBits); i-- > 0;) {
      const std::uint32_t first = table[i];
      if (!(first & kLiteral)) continue;
      const std::uint32_t second = table[i >> Bits(first)];
      if (!(second & kLiteral) || Bits(first) + Bits(second) > rootBits) continue;
      table[i] = Entry(Bits(first) + Bits(second), 1, kLiteral, Value(first) | (Value(second) << 8));
    }
  }
  return true;
}

struct FixedTables {
  InflateTables tables;
  FixedTables() {
    std::uint8_t lengths[288];
    for (unsigned s = 0; s < 288; ++s) lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
    BuildTable(lengths, 288, InflateTables::kLiteralBits, tables.literal, InflateTables::kLiteralSize, Code::kLiterals);
    for (unsigned s = 0; s < 32; ++s) lengths[s] = 5;
    BuildTable(lengths, 32, InflateTables::kDistanceBits, tables.distance, InflateTables::kDistanceSize,
               Code::kDistances);
  }
};

const InflateTables& Fixed() {
  static const FixedTables fixed;
  return fixed.tables;
}

// Eight bytes of the stream as the bit buffer takes them: least significant first, which is
// how x86 (every target of this program) stores an integer.
inline std::uint64_t Load64(const unsigned char* p) {
  std::uint64_t value;
  std::memcpy(&value, p, sizeof value);
  return value;
}

}  // namespace

BlockResult InflateBlock(const unsigned char* in, std::size_t inLength, std::size_t* bit, unsigned char* out,
                         std::size_t* produced, std::size_t capacity, InflateTables& tables) {
  const unsigned char* next = in + (*bit >> 3);
  const unsigned char* const end = in + inLength;
  if (next >= end) return BlockResult::kShortInput;
  unsigned char* o = out + *produced;
  unsigned char* const oEnd = out + capacity;
  std::uint64_t buffer = 0;
  unsigned count = 0;        // bits held in buffer
  std::size_t overrun = 0;   // zero bytes taken in past the input's end

  // At least 56 bits in the buffer afterwards. Past the end zeros come in; false once a
  // whole buffer of them has come in, when some must have been taken as code.
  auto refill = [&]() -> bool {
    if (end - next >= 8) {
      buffer |= Load64(next) << count;
      next += (63 - count) >> 3;
      count |= 56;
      return true;
    }
    while (count <= 56) {
      if (next < end) {
        buffer |= std::uint64_t{*next++} << count;
      } else if (++overrun > 8) {
        return false;
      }
      count += 8;
    }
    return true;
  };
  auto take = [&](unsigned bits) {
    const auto value = static_cast<unsigned>(Low(buffer, bits));
    buffer >>= bits;
    count -= bits;
    return value;
  };
  // Where the block's bits end; beyond the input when zeros from past its end were decoded.
  auto position = [&]() { return 8 * (static_cast<std::size_t>(next - in) + overrun) - count; };

  if (!refill()) return BlockResult::kShortInput;
  take(*bit & 7);
  const bool final = take(1) != 0;
  const unsigned type = take(2);
  const std::uint32_t* literal = Fixed().literal;
  const std::uint32_t* distance = Fixed().distance;

  if (type == 0) {
    take(count & 7);
    std::size_t at = position() / 8;
    if (at + 4 > inLength) return BlockResult::kShortInput;
    const unsigned length = in[at] | (in[at + 1] << 8);
    if ((length ^ 0xffffu) != static_cast<unsigned>(in[at + 2] | (in[at + 3] << 8))) return BlockResult::kDamaged;
    at += 4;
    if (at + length > inLength) return BlockResult::kShortInput;
    if (static_cast<std::size_t>(oEnd - o) < length) return BlockResult::kFullOutput;
    std::memcpy(o, in + at, length);
    *bit = 8 * (at + length);
    *produced = static_cast<std::size_t>(o + length - out);
    return final ? BlockResult::kFinalEnded : BlockResult::kEnded;
  }
  if (type == 3) return BlockResult::kDamaged;
  if (type == 2) {
    const unsigned literals = take(5) + 257, distances = take(5) + 1, lengthCodes = take(4) + 4;
    if (literals > 286 || distances > 30) return BlockResult::kDamaged;
    std::uint8_t lengths[320] = {};
    for (unsigned i = 0; i < lengthCodes; ++i) {
      if (count < 3 && !refill()) return BlockResult::kShortInput;
      lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(take(3));
    }
    std::uint32_t codeLengths[128];
    if (!BuildTable(lengths, 19, 7, codeLengths, 128, Code::kCodeLengths)) return BlockResult::kDamaged;
    const unsigned total = literals + distances;
    for (unsigned i = 0; i < total;) {
      if (!refill()) return BlockResult::kShortInput;
      const std::uint32_t entry = codeLengths[Low(buffer, 7)];
      if (entry & kInvalid) return BlockResult::kDamaged;
      take(Bits(entry));
      const unsigned symbol = Value(entry);
      if (symbol < 16) {
        lengths[i++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      unsigned repeat;
      std::uint8_t value = 0;
      if (symbol == 16) {
        if (i == 0) return BlockResult::kDamaged;
        value = lengths[i - 1];
        repeat = 3 + take(2);
      } else if (symbol == 17) {
        repeat = 3 + take(3);
      } else {
        repeat = 11 + take(7);
      }
      if (i + repeat > total) return BlockResult::kDamaged;
      for (; repeat > 0; --repeat) lengths[i++] = value;
    }
    if (lengths[256] == 0) return BlockResult::kDamaged;
    if (!BuildTable(lengths, literals, InflateTables::kLiteralBits, tables.literal, InflateTables::kLiteralSize,
                    Code::kLiterals) ||
        !BuildTable(lengths + literals, distances, InflateTables::kDistanceBits, tables.distance,
                    InflateTables::kDistanceSize, Code::kDistances)) {
      return BlockResult::kDamaged;
    }
    literal = tables.literal;
    distance = tables.distance;
  }

  constexpr std::uint64_t kLiteralMask = (1u << InflateTables::kLiteralBits) - 1;
  constexpr std::uint64_t kDistanceMask = (1u << InflateTables::kDistanceBits) - 1;
  constexpr std::uint32_t kNotLength = kLiteral | kEndOfBlock | kSubTable | kInvalid;
  // Far enough from both ends that a symbol needs no check of either: eight bytes to load,
  // and room for four entries of literals or the longest match with a word copy's spill.
  constexpr std::ptrdiff_t kFastRoom = 258 + 16;
  for (;;) {
    // A length code, its extra bits, a distance code and its extra bits take at most 48 bits.
    const bool fast = end - next >= 8 && oEnd - o >= kFastRoom;
    if (!refill()) return BlockResult::kShortInput;
    std::uint32_t entry = literal[buffer & kLiteralMask];
    if (entry & kLiteral) {
      if (fast) {
        // Four entries of literals fit in the bits a refill leaves: mail is mostly literals.
        // Two bytes are stored whether the entry has one literal or two.
        for (int i = 0;;) {
          buffer >>= Bits(entry);
          count -= Bits(entry);
          const auto pair = static_cast<std::uint16_t>(Value(entry));
          std::memcpy(o, &pair, 2);
          o += 1 + Extra(entry);
          if (++i == 4) break;
          entry = literal[buffer & kLiteralMask];
          if (!(entry & kLiteral)) break;
        }
        continue;
      }
      if (static_cast<std::size_t>(oEnd - o) < 1 + Extra(entry)) return BlockResult::kFullOutput;
      take(Bits(entry));
      *o++ = static_cast<unsigned char>(Value(entry));
      if (Extra(entry)) *o++ = static_cast<unsigned char>(Value(entry) >> 8);
      continue;
    }
    if (entry & kSubTable) {
      take(InflateTables::kLiteralBits);
      entry = literal[Value(entry) + Low(buffer, Extra(entry))];
    }
    take(Bits(entry));
    if (entry & kNotLength) {
      if (entry & kLiteral) {
        if (o == oEnd) return BlockResult::kFullOutput;
        *o++ = static_cast<unsigned char>(Value(entry));
        continue;
      }
      if (entry & kEndOfBlock) break;
      return BlockResult::kDamaged;
    }
    const std::size_t length = Value(entry) + take(Extra(entry));
    entry = distance[buffer & kDistanceMask];
    if (entry & kSubTable) {
      take(InflateTables::kDistanceBits);
      entry = distance[Value(entry) + Low(buffer, Extra(entry))];
    }
    take(Bits(entry));
    if (entry & kInvalid) return BlockResult::kDamaged;
    const std::size_t back = Value(entry) + take(Extra(entry));
    if (back > static_cast<std::size_t>(o - out)) return BlockResult::kDamaged;
    const std::size_t room = static_cast<std::size_t>(oEnd - o);
    if (room < length) return BlockResult::kFullOutput;
    const unsigned char* from = o - back;
    if (back >= 8 && room >= length + 8) {
      // Whole words, the last one spilling past the match into room the next symbols overwrite.
      unsigned char* const stop = o + length;
      do {
        std::memcpy(o, from, 8);
        o += 8;
        from += 8;
      } while (o < stop);
      o = stop;
    } else if (back == 1) {
      std::memset(o, *from, length);
      o += length;
    } else {
      for (std::size_t i = 0; i < length; ++i) o[i] = from[i];
      o += length;
    }
  }
  const std::size_t at = position();
  if (at > 8 * inLength) return BlockResult::kShortInput;
  *bit = at;
  *produced = static_cast<std::size_t>(o - out);
  return final ? BlockResult::kFinalEnded : BlockResult::kEnded;
}

}  // namespace quarnel::archive::detail
