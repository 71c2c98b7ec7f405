#pragma once
// The crypto operations WinZipAesDecryptor needs, implemented once per crypto library:
// OpenSSL natively (libzip's own there), mbedTLS in the Windows builds.
#include <cstddef>

#include "archive/WinZipAes.h"

namespace quarnel::archive::detail {

struct WinZipAesDecryptor::Crypto {
  Crypto();
  ~Crypto();
  bool Pbkdf2(const unsigned char* password, std::size_t passwordLength, const unsigned char* salt,
              std::size_t saltLength, int iterations, unsigned char* out, std::size_t outLength);
  bool SetKeys(const unsigned char* aesKey, const unsigned char* macKey, std::size_t keyLength);
  // AES-encrypts whole 16-byte blocks (for the counter mode's keystream).
  bool EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks);
  bool MacUpdate(const unsigned char* data, std::size_t size);
  bool MacFinal(unsigned char* out20);

  struct State;
  State* state;
};

}  // namespace quarnel::archive::detail
