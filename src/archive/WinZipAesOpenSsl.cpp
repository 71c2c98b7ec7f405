// WinZip AES crypto over OpenSSL 3 (the native builds, where libzip uses it as well).
#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include "archive/WinZipAesCrypto.h"

namespace quarnel::archive::detail {

void WipeSecret(void* data, std::size_t size) { OPENSSL_cleanse(data, size); }

struct WinZipAesDecryptor::Crypto::State {
  EVP_CIPHER_CTX* cipher = nullptr;
  EVP_MAC* macAlgorithm = nullptr;
  EVP_MAC_CTX* mac = nullptr;
};

WinZipAesDecryptor::Crypto::Crypto() : state(new State) {
  state->cipher = EVP_CIPHER_CTX_new();
  state->macAlgorithm = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  if (state->macAlgorithm) state->mac = EVP_MAC_CTX_new(state->macAlgorithm);
}

WinZipAesDecryptor::Crypto::~Crypto() {
  EVP_MAC_CTX_free(state->mac);
  EVP_MAC_free(state->macAlgorithm);
  EVP_CIPHER_CTX_free(state->cipher);
  delete state;
}

bool WinZipAesDecryptor::Crypto::Pbkdf2(const unsigned char* password, std::size_t passwordLength,
                                        const unsigned char* salt, std::size_t saltLength, int iterations,
                                        unsigned char* out, std::size_t outLength) {
  return PKCS5_PBKDF2_HMAC_SHA1(reinterpret_cast<const char*>(password), static_cast<int>(passwordLength), salt,
                                static_cast<int>(saltLength), iterations, static_cast<int>(outLength), out) == 1;
}

bool WinZipAesDecryptor::Crypto::SetKeys(const unsigned char* aesKey, const unsigned char* macKey,
                                         std::size_t keyLength) {
  if (!state->cipher || !state->mac) return false;
  const EVP_CIPHER* cipher = keyLength == 16   ? EVP_aes_128_ecb()
                             : keyLength == 24 ? EVP_aes_192_ecb()
                                               : EVP_aes_256_ecb();
  if (EVP_EncryptInit_ex(state->cipher, cipher, nullptr, aesKey, nullptr) != 1) return false;
  EVP_CIPHER_CTX_set_padding(state->cipher, 0);
  char digest[] = "SHA1";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_construct_end()};
  return EVP_MAC_init(state->mac, macKey, keyLength, params) == 1;
}

bool WinZipAesDecryptor::Crypto::EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks) {
  int written = 0;
  return EVP_EncryptUpdate(state->cipher, out, &written, in, static_cast<int>(blocks * 16)) == 1 &&
         written == static_cast<int>(blocks * 16);
}

bool WinZipAesDecryptor::Crypto::MacUpdate(const unsigned char* data, std::size_t size) {
  return EVP_MAC_update(state->mac, data, size) == 1;
}

bool WinZipAesDecryptor::Crypto::MacFinal(unsigned char* out20) {
  std::size_t length = 0;
  return EVP_MAC_final(state->mac, out20, &length, 20) == 1 && length == 20;
}

}  // namespace quarnel::archive::detail
