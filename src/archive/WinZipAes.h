#pragma once
// Decrypting WinZip AES entries (AE-1 and AE-2): keys from the password by PBKDF2-HMAC-SHA1,
// AES in counter mode with a little-endian counter from 1, and HMAC-SHA1 over the
// ciphertext whose first ten bytes close the entry. libzip 1.7 decrypts these too, but
// byte by byte, and it fails AE-2 entries that are stored rather than deflated, taking
// their empty CRC for a real one.
#include <cstddef>
#include <memory>
#include <string>

namespace quarnel::archive::detail {

class WinZipAesDecryptor {
 public:
  static constexpr std::size_t kVerifierLength = 2;
  static constexpr std::size_t kCodeLength = 10;

  WinZipAesDecryptor();
  ~WinZipAesDecryptor();
  WinZipAesDecryptor(const WinZipAesDecryptor&) = delete;
  WinZipAesDecryptor& operator=(const WinZipAesDecryptor&) = delete;

  // keyLength 16, 24 or 32; the salt is half as long. False when the password's
  // verification bytes differ from the entry's (or the crypto library fails).
  bool Start(const std::string& password, const unsigned char* salt, std::size_t keyLength,
             const unsigned char* verifier);
  // Decrypts in place; the ciphertext is authenticated on the way.
  bool Decrypt(unsigned char* data, std::size_t size);
  // True when the entry's closing code matches everything decrypted.
  bool Authentic(const unsigned char* code);

  // The build's crypto library, behind the few operations used here.
  struct Crypto;

 private:
  bool Refill();

  std::unique_ptr<Crypto> crypto_;
  unsigned char counter_[16] = {};
  unsigned char keystream_[4096];
  std::size_t used_ = sizeof keystream_;
};

}  // namespace quarnel::archive::detail
