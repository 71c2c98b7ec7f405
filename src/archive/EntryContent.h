#pragma once
// An entry's content on its way out of an archive: its stored data, once decrypted, arrives
// in pieces of any size and is handed on as it is (stored) or inflated (deflated), counted
// against the size the archive states and checked against its CRC where the CRC decides.
// Memory use is fixed whatever the sizes claim.
#include <zip.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/Inflater.h"

namespace quarnel::archive::detail {

// Receives the content in order; returning false stops the reading as failed.
using ChunkSink = std::function<bool(const char* data, std::size_t size)>;

// 16, 24 or 32 for an entry under WinZip AES protection, else 0.
std::size_t AesKeyLength(const zip_stat_t& st);

class EntryContent {
 public:
  // st describes the entry as DescribeEntry gives it: comp_method (deflated or not), and
  // where valid its size and the CRC that decides. With crcBySink the sink sums the CRC and
  // decides it through CrcFails: a pipeline does so to spare its slowest stage.
  EntryContent(const zip_stat_t& st, ChunkSink sink, bool crcBySink = false);
  ~EntryContent();
  EntryContent(const EntryContent&) = delete;
  EntryContent& operator=(const EntryContent&) = delete;

  bool Begin(std::string* message);
  // The sink never receives a byte past the stated size: the reading stops at once.
  bool Feed(unsigned char* data, std::size_t size, std::string* message);
  // After the last piece: the content must be complete, of the stated size, and match its CRC.
  bool End(std::string* message);

  // Whether the CRC decides for st at all, and true with the reason when crc, summed over the
  // whole content, is not the one that decides.
  static bool CrcDecides(const zip_stat_t& st) { return (st.valid & ZIP_STAT_CRC) != 0; }
  static bool CrcFails(const zip_stat_t& st, uLong crc, std::string* message);

 private:
  bool Deliver(const unsigned char* data, std::size_t size, std::string* message);
  bool Inflated(Inflater::Status status, std::string* message);

  const zip_stat_t st_;
  const ChunkSink sink_;
  bool deflated_;
  bool sumsCrc_;
  bool ended_ = false;
  std::unique_ptr<Inflater> inflater_;
  std::string* message_ = nullptr;  // where the inflater's output reports a failure
  uLong crc_;
  std::uint64_t received_ = 0;
};

}  // namespace quarnel::archive::detail
