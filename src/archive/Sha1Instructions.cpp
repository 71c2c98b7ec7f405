#include "archive/Sha1Instructions.h"

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "archive/WinZipAes.h"

// Only these functions may use the instructions: the rest of the build stays for any x86.
#define QUARNEL_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
// 32-bit Windows keeps the stack 4-byte aligned (threads and callbacks enter from system code),
// while spilled SSE registers need 16.
#if defined(__i386__)
#define QUARNEL_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define QUARNEL_ALIGN_STACK
#endif

namespace quarnel::archive::detail {
namespace {

constexpr std::size_t kBlockSize = 64;
constexpr std::uint32_t kInitialState[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
constexpr unsigned char kInnerPad = 0x36, kOuterPad = 0x5C;

std::atomic<bool> turnedOff{false};

bool ProcessorHasShaInstructions() {
  unsigned int a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c & bit_SSSE3) != 0, sse41 = (c & bit_SSE4_1) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;  // no leaf 7 on older processors
  const bool sha = (b & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

// Four of the eighty rounds (group G of twenty), then the message words four groups on, from
// the four groups that end here: W[t] = rol1(W[t-3] ^ W[t-8] ^ W[t-14] ^ W[t-16]).
// `previous` holds the state before the last group, whose A becomes this group's E; in the
// first group, the E of the state the block starts from.
template <int G>
[[gnu::always_inline]] QUARNEL_SHA_TARGET inline void RoundGroup(__m128i& abcd, __m128i& previous, __m128i (&w)[4]) {
  __m128i e;
  if constexpr (G == 0) {
    e = _mm_add_epi32(previous, w[0]);
  } else {
    e = _mm_sha1nexte_epu32(previous, w[G % 4]);
  }
  previous = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);
  if constexpr (G < 16) {
    w[G % 4] =
        _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w[G % 4], w[(G + 1) % 4]), w[(G + 2) % 4]), w[(G + 3) % 4]);
  }
}

template <int... G>
[[gnu::always_inline]] QUARNEL_SHA_TARGET inline void AllRounds(__m128i& abcd, __m128i& previous, __m128i (&w)[4],
                                                                std::integer_sequence<int, G...>) {
  (RoundGroup<G>(abcd, previous, w), ...);
}

// SHA-1's compression of whole blocks. The registers hold A in their highest lane, as the
// instructions want, and the message words big-endian, first word highest.
QUARNEL_SHA_TARGET QUARNEL_ALIGN_STACK void CompressBlocks(std::uint32_t* state, const unsigned char* data,
                                                           std::size_t blocks) {
  const __m128i reverseBytes = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
  __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; blocks > 0; --blocks, data += kBlockSize) {
    __m128i w[4];
    for (int i = 0; i < 4; ++i) {
      w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), reverseBytes);
    }
    const __m128i abcdBefore = abcd;
    __m128i previous = e;
    AllRounds(abcd, previous, w, std::make_integer_sequence<int, 20>());
    e = _mm_sha1nexte_epu32(previous, e);
    abcd = _mm_add_epi32(abcd, abcdBefore);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e, 3));
}

}  // namespace

bool ShaInstructionsUsable() {
  static const bool present = ProcessorHasShaInstructions();
  return present && !turnedOff.load(std::memory_order_relaxed);
}

void TurnOffShaInstructions(bool off) { turnedOff.store(off, std::memory_order_relaxed); }

void Sha1InstructionHmac::Stream::Begin(const std::uint32_t* state5, std::uint64_t lengthSoFar) {
  std::memcpy(state, state5, sizeof state);
  pendingSize = 0;
  length = lengthSoFar;
}

void Sha1InstructionHmac::Stream::Update(const unsigned char* data, std::size_t size) {
  if (size == 0) return;
  length += size;
  if (pendingSize > 0) {
    const std::size_t taken = std::min(size, kBlockSize - pendingSize);
    std::memcpy(pending + pendingSize, data, taken);
    pendingSize += taken;
    data += taken;
    size -= taken;
    if (pendingSize < kBlockSize) return;
    CompressBlocks(state, pending, 1);
    pendingSize = 0;
  }
  const std::size_t whole = size / kBlockSize;
  if (whole > 0) CompressBlocks(state, data, whole);
  pendingSize = size - whole * kBlockSize;
  if (pendingSize > 0) std::memcpy(pending, data + whole * kBlockSize, pendingSize);
}

void Sha1InstructionHmac::Stream::Finish(unsigned char* out20) {
  // The closing 0x80, zeros, and the length in bits big-endian: in one block, or two when
  // fewer than nine bytes are left in this one.
  unsigned char tail[2 * kBlockSize] = {};
  std::memcpy(tail, pending, pendingSize);
  tail[pendingSize] = 0x80;
  const std::size_t tailSize = pendingSize + 9 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  const std::uint64_t bits = length * 8;
  for (int i = 0; i < 8; ++i) tail[tailSize - 1 - i] = static_cast<unsigned char>(bits >> (8 * i));
  CompressBlocks(state, tail, tailSize / kBlockSize);
  for (int i = 0; i < 5; ++i) {
    for (int j = 0; j < 4; ++j) out20[4 * i + j] = static_cast<unsigned char>(state[i] >> (24 - 8 * j));
  }
  WipeSecret(tail, sizeof tail);
  Wipe();
}

void Sha1InstructionHmac::Stream::Wipe() {
  WipeSecret(state, sizeof state);
  WipeSecret(pending, sizeof pending);
  pendingSize = 0;
  length = 0;
}

Sha1InstructionHmac::~Sha1InstructionHmac() { Wipe(); }

bool Sha1InstructionHmac::Start(const unsigned char* key, std::size_t keyLength) {
  if (keyLength > kBlockSize) return false;
  unsigned char block[kBlockSize] = {};
  if (keyLength > 0) std::memcpy(block, key, keyLength);
  std::uint32_t innerStart[5];
  std::memcpy(innerStart, kInitialState, sizeof innerStart);
  std::memcpy(outerStart_, kInitialState, sizeof outerStart_);
  for (unsigned char& byte : block) byte ^= kInnerPad;
  CompressBlocks(innerStart, block, 1);
  for (unsigned char& byte : block) byte ^= kInnerPad ^ kOuterPad;
  CompressBlocks(outerStart_, block, 1);
  inner_.Begin(innerStart, kBlockSize);
  WipeSecret(block, sizeof block);
  WipeSecret(innerStart, sizeof innerStart);
  return true;
}

void Sha1InstructionHmac::Update(const unsigned char* data, std::size_t size) { inner_.Update(data, size); }

void Sha1InstructionHmac::Finish(unsigned char* out20) {
  unsigned char innerHash[20];
  inner_.Finish(innerHash);
  inner_.Begin(outerStart_, kBlockSize);
  inner_.Update(innerHash, sizeof innerHash);
  inner_.Finish(out20);
  WipeSecret(innerHash, sizeof innerHash);
  Wipe();
}

void Sha1InstructionHmac::Wipe() {
  inner_.Wipe();
  WipeSecret(outerStart_, sizeof outerStart_);
}

}  // namespace quarnel::archive::detail
