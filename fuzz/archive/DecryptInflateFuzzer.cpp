// The path of a protected entry's data, decryption then inflating, with a fixed key: an
// archive's reads hand the data over in pieces, and any chunking must give exactly what one
// call gives (content, success, authentication code), and decryption must undo encryption.
// Deflated data must be accepted exactly where zlib's inflate accepts it, with its content.
//
// Input: byte 0 chooses the key length (low two bits), a deflated entry (bit 7) and a stated
// size (bit 6); bytes 1-8 seed the chunking and the stated size; the rest is the entry's
// data before encryption.
#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <zlib.h>

#include "archive/EntryContent.h"
#include "archive/WinZipAes.h"

namespace {

using quarnel::archive::detail::EntryContent;
using quarnel::archive::detail::WinZipAesDecryptor;

constexpr std::size_t kMaxContent = 64u << 20;
constexpr unsigned char kKeys[64] = {
    0x51, 0x75, 0x61, 0x72, 0x6e, 0x65, 0x6c, 0x20, 0x66, 0x69, 0x78, 0x65, 0x64, 0x20, 0x6b, 0x65,
    0x79, 0x20, 0x66, 0x6f, 0x72, 0x20, 0x66, 0x75, 0x7a, 0x7a, 0x69, 0x6e, 0x67, 0x20, 0x6f, 0x6e,
    0x6c, 0x79, 0x3a, 0x20, 0x41, 0x45, 0x53, 0x20, 0x61, 0x6e, 0x64, 0x20, 0x48, 0x4d, 0x41, 0x43,
    0x20, 0x73, 0x68, 0x61, 0x72, 0x65, 0x20, 0x69, 0x74, 0x20, 0x68, 0x65, 0x72, 0x65, 0x2e, 0x21};

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

struct Outcome {
  std::vector<unsigned char> decrypted;
  std::string content;
  bool ok = false;
  unsigned char code[WinZipAesDecryptor::kCodeLength] = {};
};

// Decrypts the data in pieces of the given sizes (one piece when none), feeding each to
// the content as it comes, as the entry reader does.
Outcome Run(const std::vector<unsigned char>& cipher, std::size_t keyLength, const zip_stat_t& st,
            const std::vector<std::size_t>& pieces) {
  Outcome outcome;
  outcome.decrypted = cipher;
  WinZipAesDecryptor decryptor;
  Check(decryptor.StartWithKeys(kKeys, kKeys + 32, keyLength), "keys refused");
  auto sink = [&](const char* data, std::size_t size) {
    if (outcome.content.size() + size > kMaxContent) return false;
    outcome.content.append(data, size);
    return true;
  };
  EntryContent content(st, sink);
  std::string message;
  outcome.ok = content.Begin(&message);
  std::size_t at = 0;
  for (std::size_t i = 0; at < cipher.size(); ++i) {
    std::size_t n = pieces.empty() ? cipher.size() : std::min(pieces[i % pieces.size()], cipher.size() - at);
    Check(decryptor.Decrypt(outcome.decrypted.data() + at, n), "decryption failed");
    outcome.ok = outcome.ok && content.Feed(outcome.decrypted.data() + at, n, &message);
    at += n;
  }
  outcome.ok = outcome.ok && content.End(&message);
  Check(decryptor.ComputeCode(outcome.code), "no code");
  return outcome;
}

// zlib's verdict on a raw deflate stream in one call: the content when the stream ends with
// the data's last byte, none otherwise.
bool ZlibInflates(const std::vector<unsigned char>& data, std::string* content) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
  z.next_in = const_cast<unsigned char*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  int result = Z_OK;
  unsigned char out[65536];
  while (result == Z_OK && content->size() <= kMaxContent) {
    z.next_out = out;
    z.avail_out = sizeof out;
    result = inflate(&z, Z_NO_FLUSH);
    content->append(reinterpret_cast<char*>(out), sizeof out - z.avail_out);
    if (result == Z_BUF_ERROR && z.avail_in > 0) result = Z_OK;
  }
  inflateEnd(&z);
  return result == Z_STREAM_END && z.avail_in == 0 && content->size() <= kMaxContent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  const std::size_t keyLengths[] = {16, 24, 32, 32};
  const std::size_t keyLength = keyLengths[data[0] & 3];
  std::uint64_t seed;
  std::memcpy(&seed, data + 1, sizeof seed);
  const std::vector<unsigned char> plain(data + 9, data + size);

  zip_stat_t st;
  zip_stat_init(&st);
  st.valid = ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
  st.comp_method = (data[0] & 0x80) ? ZIP_CM_DEFLATE : ZIP_CM_STORE;
  st.encryption_method = ZIP_EM_AES_256;
  if (data[0] & 0x40) {
    st.valid |= ZIP_STAT_SIZE;
    st.size = seed % (4 * plain.size() + 64);
  }

  // Counter mode is its own inverse: decrypting the plain data encrypts it.
  std::vector<unsigned char> cipher = plain;
  {
    WinZipAesDecryptor encryptor;
    Check(encryptor.StartWithKeys(kKeys, kKeys + 32, keyLength), "keys refused");
    if (!cipher.empty()) Check(encryptor.Decrypt(cipher.data(), cipher.size()), "encryption failed");
  }

  std::vector<std::size_t> pieces;
  for (std::uint64_t state = seed | 1; pieces.size() < 16;) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    pieces.push_back(1 + (state >> 33) % 4200);
  }
  const Outcome oneCall = Run(cipher, keyLength, st, {});
  const Outcome chunked = Run(cipher, keyLength, st, pieces);
  Check(oneCall.decrypted == plain, "decryption does not undo encryption");
  Check(chunked.decrypted == plain, "chunked decryption differs");
  Check(std::memcmp(oneCall.code, chunked.code, sizeof oneCall.code) == 0, "chunked authentication code differs");
  Check(oneCall.ok == chunked.ok, "chunked content check decides otherwise");
  Check(!oneCall.ok || oneCall.content == chunked.content, "chunked content differs");
  if (st.comp_method == ZIP_CM_DEFLATE) {
    std::string reference;
    const bool zlibOk = ZlibInflates(plain, &reference) && (!(st.valid & ZIP_STAT_SIZE) || reference.size() == st.size);
    Check(oneCall.ok == zlibOk, "the content check decides otherwise than zlib");
    Check(!zlibOk || oneCall.content == reference, "content differs from zlib's");
  }
  return 0;
}
