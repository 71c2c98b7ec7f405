// WinZip AES crypto over mbedTLS (the Windows builds, where libzip uses it as well).
#include <cstdint>

#include <mbedtls/aes.h>
#include <mbedtls/md.h>
#include <mbedtls/pkcs5.h>
#include <mbedtls/platform_util.h>

#include "archive/Sha1Instructions.h"
#include "archive/WinZipAesCrypto.h"

namespace quarnel::archive::detail {

void WipeSecret(void* data, std::size_t size) { mbedtls_platform_zeroize(data, size); }

struct WinZipAesDecryptor::Crypto::State {
  mbedtls_aes_context aes;
  mbedtls_md_context_t mac;
  bool macReady = false;
  // mbedTLS's SHA-1 is plain C; the processor's SHA instructions, where it has them, hash
  // twice as fast.
  bool instructionMac = false;
  Sha1InstructionHmac fastMac;
};

WinZipAesDecryptor::Crypto::Crypto() : state(new State) {
  mbedtls_aes_init(&state->aes);
  mbedtls_md_init(&state->mac);
  state->macReady = mbedtls_md_setup(&state->mac, mbedtls_md_info_from_type(MBEDTLS_MD_SHA1), 1) == 0;
}

WinZipAesDecryptor::Crypto::~Crypto() {
  mbedtls_md_free(&state->mac);
  mbedtls_aes_free(&state->aes);
  delete state;
}

bool WinZipAesDecryptor::Crypto::Pbkdf2(const unsigned char* password, std::size_t passwordLength,
                                        const unsigned char* salt, std::size_t saltLength, int iterations,
                                        unsigned char* out, std::size_t outLength) {
  mbedtls_md_context_t md;
  mbedtls_md_init(&md);
  bool ok =
      mbedtls_md_setup(&md, mbedtls_md_info_from_type(MBEDTLS_MD_SHA1), 1) == 0 &&
      mbedtls_pkcs5_pbkdf2_hmac(&md, password, passwordLength, salt, saltLength, static_cast<unsigned int>(iterations),
                                static_cast<std::uint32_t>(outLength), out) == 0;
  mbedtls_md_free(&md);
  return ok;
}

bool WinZipAesDecryptor::Crypto::SetKeys(const unsigned char* aesKey, const unsigned char* macKey,
                                         std::size_t keyLength) {
  if (mbedtls_aes_setkey_enc(&state->aes, aesKey, static_cast<unsigned int>(keyLength * 8)) != 0) return false;
  state->instructionMac = ShaInstructionsUsable();
  if (state->instructionMac) return state->fastMac.Start(macKey, keyLength);
  return state->macReady && mbedtls_md_hmac_starts(&state->mac, macKey, keyLength) == 0;
}

bool WinZipAesDecryptor::Crypto::EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks) {
  for (std::size_t i = 0; i < blocks; ++i) {
    if (mbedtls_aes_crypt_ecb(&state->aes, MBEDTLS_AES_ENCRYPT, in + 16 * i, out + 16 * i) != 0) return false;
  }
  return true;
}

bool WinZipAesDecryptor::Crypto::MacUpdate(const unsigned char* data, std::size_t size) {
  if (state->instructionMac) {
    state->fastMac.Update(data, size);
    return true;
  }
  return mbedtls_md_hmac_update(&state->mac, data, size) == 0;
}

bool WinZipAesDecryptor::Crypto::MacFinal(unsigned char* out20) {
  if (state->instructionMac) {
    state->fastMac.Finish(out20);
    return true;
  }
  return mbedtls_md_hmac_finish(&state->mac, out20) == 0;
}

}  // namespace quarnel::archive::detail
