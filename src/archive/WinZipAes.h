#pragma once
// Decrypting WinZip AES entries (AE-1 and AE-2): keys from the password by PBKDF2-HMAC-SHA1,
// AES in counter mode with a little-endian counter from 1, and HMAC-SHA1 over the
// ciphertext whose first ten bytes close the entry. libzip 1.7 decrypts these too, but
// byte by byte, and it fails AE-2 entries that are stored rather than deflated, taking
// their empty CRC for a real one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace quarnel::archive::detail {

// Overwrites secret bytes with zeros through the crypto library's own call, which the
// compiler cannot leave out the way it may drop a memset of memory about to be freed.
void WipeSecret(void* data, std::size_t size);
// The same for a text (a password), which is then empty.
void WipeText(std::string& text);

class WinZipAesDecryptor {
 public:
  static constexpr std::size_t kVerifierLength = 2;
  static constexpr std::size_t kCodeLength = 10;

  WinZipAesDecryptor();
  ~WinZipAesDecryptor();  // wipes the keystream; the crypto library wipes its keys
  WinZipAesDecryptor(const WinZipAesDecryptor&) = delete;
  WinZipAesDecryptor& operator=(const WinZipAesDecryptor&) = delete;

  // keyLength 16, 24 or 32; the salt is half as long. False when the password's
  // verification bytes differ from the entry's (or the crypto library fails).
  bool Start(const std::string& password, const unsigned char* salt, std::size_t keyLength,
             const unsigned char* verifier);
  // Starts with keys already derived: the AES key and the authentication key, keyLength each.
  bool StartWithKeys(const unsigned char* aesKey, const unsigned char* macKey, std::size_t keyLength);
  // Decrypts in place; the ciphertext is authenticated on the way.
  bool Decrypt(unsigned char* data, std::size_t size);
  // Authenticates ciphertext without decrypting it.
  bool Authenticate(const unsigned char* data, std::size_t size);
  // The entry's closing code as computed over everything taken (kCodeLength bytes); once.
  bool ComputeCode(unsigned char* code);
  // True when the entry's closing code matches everything taken; once.
  bool Authentic(const unsigned char* code);

  // The build's crypto library, behind the few operations used here.
  struct Crypto;

 private:
  bool Refill();

  std::unique_ptr<Crypto> crypto_;
  // The counter block, little-endian, as its low and high eight bytes: the low half alone
  // counts every block of an entry, so a block is built from two stores.
  std::uint64_t counterLow_ = 0, counterHigh_ = 0;
  unsigned char keystream_[4096];
  std::size_t used_ = sizeof keystream_;
};

}  // namespace quarnel::archive::detail
