#pragma once
// HMAC-SHA1 on the x86 SHA extensions (sha1rnds4, sha1nexte, sha1msg1, sha1msg2), for the
// Windows builds: mbedTLS's SHA-1 there is plain C and took a sixth of the processor time of
// extracting a protected backup, twice what the instructions take. Only the functions that use
// the instructions are compiled for them, so the program still runs on any x86 processor;
// ShaInstructionsUsable() says when they may run.
#include <cstddef>
#include <cstdint>

namespace quarnel::archive::detail {

// True when the processor has the SHA extensions and the SSSE3 and SSE4.1 they are used with
// (asked of cpuid once), and no test has turned them off.
bool ShaInstructionsUsable();
// Lets a test compare the crypto library's HMAC on a processor that has the instructions.
void TurnOffShaInstructions(bool off);

// Only where ShaInstructionsUsable(). Start, any number of Updates, Finish; again from Start.
// The key, the pads and the running state are wiped by Finish and on destruction.
class Sha1InstructionHmac {
 public:
  Sha1InstructionHmac() = default;
  ~Sha1InstructionHmac();
  Sha1InstructionHmac(const Sha1InstructionHmac&) = delete;
  Sha1InstructionHmac& operator=(const Sha1InstructionHmac&) = delete;

  // Keys of up to one block (64 bytes), as every WinZip key is; false for a longer one.
  bool Start(const unsigned char* key, std::size_t keyLength);
  void Update(const unsigned char* data, std::size_t size);
  void Finish(unsigned char* out20);

 private:
  // One SHA-1 computation: whole 64-byte blocks go straight from the caller's buffer, the rest
  // waits for the next update.
  struct Stream {
    void Begin(const std::uint32_t* state5, std::uint64_t lengthSoFar);
    void Update(const unsigned char* data, std::size_t size);
    void Finish(unsigned char* out20);
    void Wipe();

    std::uint32_t state[5] = {};
    unsigned char pending[64] = {};
    std::size_t pendingSize = 0;
    std::uint64_t length = 0;  // bytes hashed, the pads' block included
  };

  void Wipe();

  Stream inner_;
  std::uint32_t outerStart_[5] = {};  // the state after the outer pad's block
};

}  // namespace quarnel::archive::detail
