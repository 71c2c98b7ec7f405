#include "archive/WinZipAes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "archive/WinZipAesCrypto.h"

namespace quarnel::archive::detail {
namespace {
constexpr int kIterations = 1000;
constexpr std::size_t kBlock = 16;
constexpr std::size_t kLongestKey = 32;

void PutLittleEndian(std::uint64_t value, unsigned char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &value, sizeof value);  // one store; the compiler does not merge the loop's
  } else {
    for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
  }
}
}  // namespace

void WipeText(std::string& text) {
  WipeSecret(text.data(), text.size());
  text.clear();
}

WinZipAesDecryptor::WinZipAesDecryptor() : crypto_(std::make_unique<Crypto>()) {}

WinZipAesDecryptor::~WinZipAesDecryptor() { WipeSecret(keystream_, sizeof keystream_); }

bool WinZipAesDecryptor::Start(const std::string& password, const unsigned char* salt, std::size_t keyLength,
                               const unsigned char* verifier) {
  if (keyLength != 16 && keyLength != 24 && keyLength != 32) return false;
  unsigned char keys[2 * kLongestKey + kVerifierLength];
  const std::size_t derived = 2 * keyLength + kVerifierLength;
  bool keyed = crypto_->Pbkdf2(reinterpret_cast<const unsigned char*>(password.data()), password.size(), salt,
                               keyLength / 2, kIterations, keys, derived) &&
               std::memcmp(keys + 2 * keyLength, verifier, kVerifierLength) == 0 &&
               StartWithKeys(keys, keys + keyLength, keyLength);
  WipeSecret(keys, sizeof keys);
  return keyed;
}

bool WinZipAesDecryptor::StartWithKeys(const unsigned char* aesKey, const unsigned char* macKey,
                                       std::size_t keyLength) {
  WipeSecret(keystream_, sizeof keystream_);
  counterLow_ = counterHigh_ = 0;
  used_ = sizeof keystream_;
  return crypto_->SetKeys(aesKey, macKey, keyLength);
}

bool WinZipAesDecryptor::Refill() {
  unsigned char counters[sizeof keystream_];
  std::uint64_t low = counterLow_, high = counterHigh_;  // in registers, whatever the stores alias
  for (std::size_t at = 0; at < sizeof counters; at += kBlock) {
    if (++low == 0) ++high;
    PutLittleEndian(low, counters + at);
    PutLittleEndian(high, counters + at + 8);
  }
  counterLow_ = low;
  counterHigh_ = high;
  used_ = 0;
  return crypto_->EncryptBlocks(counters, keystream_, sizeof counters / kBlock);
}

bool WinZipAesDecryptor::Decrypt(unsigned char* data, std::size_t size) {
  if (!crypto_->MacUpdate(data, size)) return false;
  while (size > 0) {
    if (used_ == sizeof keystream_ && !Refill()) return false;
    std::size_t n = std::min(size, sizeof keystream_ - used_);
    const unsigned char* key = keystream_ + used_;
    for (std::size_t i = 0; i < n; ++i) data[i] ^= key[i];
    data += n;
    size -= n;
    used_ += n;
  }
  return true;
}

bool WinZipAesDecryptor::Authenticate(const unsigned char* data, std::size_t size) {
  return crypto_->MacUpdate(data, size);
}

bool WinZipAesDecryptor::ComputeCode(unsigned char* code) {
  unsigned char mac[20];
  if (!crypto_->MacFinal(mac)) return false;
  std::memcpy(code, mac, kCodeLength);
  return true;
}

bool WinZipAesDecryptor::Authentic(const unsigned char* code) {
  unsigned char computed[kCodeLength];
  if (!ComputeCode(computed)) return false;
  unsigned char difference = 0;  // every byte compared, whatever the first difference
  for (std::size_t i = 0; i < kCodeLength; ++i) difference |= static_cast<unsigned char>(computed[i] ^ code[i]);
  return difference == 0;
}

}  // namespace quarnel::archive::detail
