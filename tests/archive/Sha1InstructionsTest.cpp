// The HMAC-SHA1 on the processor's SHA instructions against the crypto library's (mbedTLS in
// the Windows builds, with the instructions turned off there; OpenSSL natively), for every
// length around the block edges and large ones, fed in the pieces a reader hands over.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/Sha1Instructions.h"
#include "archive/WinZipAesCrypto.h"

namespace quarnel::archive {
namespace {

// Feeds data[0, length) to `update` in pieces of `piece` bytes, or, for 0, of sizes drawn at
// random around the block edges and far past them.
template <typename Update>
void Feed(const unsigned char* data, std::size_t length, std::size_t piece, std::mt19937& random, Update update) {
  const std::size_t drawn[] = {1, 63, 64, 65, 200000};
  for (std::size_t at = 0; at < length;) {
    const std::size_t n = std::min(length - at, piece != 0 ? piece : drawn[random() % std::size(drawn)]);
    update(data + at, n);
    at += n;
  }
}

// The crypto library's own HMAC while it lives, whatever the processor has.
struct LibraryHmacOnly {
  LibraryHmacOnly() { detail::TurnOffShaInstructions(true); }
  ~LibraryHmacOnly() { detail::TurnOffShaInstructions(false); }
};

TEST(Sha1InstructionHmac, MatchesTheCryptoLibraryForEveryLengthKeyAndPieces) {
  if (!detail::ShaInstructionsUsable()) GTEST_SKIP() << "this processor has no SHA instructions";
  const std::string ciphertext = testing::Incompressible((1 << 20) + 17);
  const auto* data = reinterpret_cast<const unsigned char*>(ciphertext.data());
  std::vector<std::size_t> lengths(201);
  std::iota(lengths.begin(), lengths.end(), 0);
  lengths.insert(lengths.end(), {4095, 4096 + 55, ciphertext.size()});
  std::mt19937 random(2104);
  const LibraryHmacOnly libraryHmacOnly;
  for (std::size_t keyLength : {16, 24, 32}) {
    std::vector<unsigned char> key(keyLength);
    for (unsigned char& byte : key) byte = static_cast<unsigned char>(random());
    for (std::size_t length : lengths) {
      for (std::size_t piece : {1, 63, 64, 65, 0}) {
        detail::Sha1InstructionHmac fast;
        detail::WinZipAesDecryptor::Crypto library;
        ASSERT_TRUE(fast.Start(key.data(), keyLength));
        ASSERT_TRUE(library.SetKeys(key.data(), key.data(), keyLength));
        Feed(data, length, piece, random, [&](const unsigned char* p, std::size_t n) { fast.Update(p, n); });
        Feed(data, length, piece, random, [&](const unsigned char* p, std::size_t n) { library.MacUpdate(p, n); });
        std::vector<unsigned char> ours(20), theirs(20);
        fast.Finish(ours.data());
        ASSERT_TRUE(library.MacFinal(theirs.data()));
        ASSERT_EQ(ours, theirs) << keyLength << "-byte key, " << length << " bytes in pieces of " << piece;
      }
    }
  }
}

}  // namespace
}  // namespace quarnel::archive
