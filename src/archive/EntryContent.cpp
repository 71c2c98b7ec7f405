#include "archive/EntryContent.h"

#include <utility>

namespace quarnel::archive::detail {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Bytes after the end of the deflated stream: no writer leaves any, someone who altered the
// entry's stated sizes may.
bool RunsOn(std::string* message) {
  *message = "the compressed content runs on past its end";
  return false;
}

}  // namespace

std::size_t AesKeyLength(const zip_stat_t& st) {
  if (!(st.valid & ZIP_STAT_ENCRYPTION_METHOD)) return 0;
  switch (st.encryption_method) {
    case ZIP_EM_AES_128:
      return 16;
    case ZIP_EM_AES_192:
      return 24;
    case ZIP_EM_AES_256:
      return 32;
    default:
      return 0;
  }
}

EntryContent::EntryContent(const zip_stat_t& st, ChunkSink sink, bool crcBySink)
    : st_(st),
      sink_(std::move(sink)),
      deflated_(st.comp_method == ZIP_CM_DEFLATE),
      sumsCrc_(CrcDecides(st) && !crcBySink),
      crc_(crc32(0L, Z_NULL, 0)) {}

bool EntryContent::CrcFails(const zip_stat_t& st, uLong crc, std::string* message) {
  if (!CrcDecides(st) || crc == st.crc) return false;
  *message = "the content fails its CRC check (wrong password or damaged archive)";
  return true;
}

EntryContent::~EntryContent() {
  if (inflating_) inflateEnd(&z_);
}

bool EntryContent::Begin(std::string* message) {
  if (!deflated_) return true;
  inflating_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
  if (!inflating_) *message = "out of memory";
  out_.resize(kChunk);
  return inflating_;
}

bool EntryContent::Feed(unsigned char* data, std::size_t size, std::string* message) {
  if (!deflated_) return Deliver(data, size, message);
  if (ended_ && size > 0) return RunsOn(message);
  z_.next_in = data;
  z_.avail_in = static_cast<uInt>(size);
  do {
    z_.next_out = out_.data();
    z_.avail_out = static_cast<uInt>(out_.size());
    int rc = inflate(&z_, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      *message = "the compressed content is damaged (or the password is wrong)";
      return false;
    }
    if (!Deliver(out_.data(), out_.size() - z_.avail_out, message)) return false;
    if (rc == Z_STREAM_END) {
      ended_ = true;
      return z_.avail_in == 0 || RunsOn(message);
    }
  } while (z_.avail_out == 0);
  return true;
}

bool EntryContent::End(std::string* message) {
  if (deflated_ && !ended_) {
    *message = "the compressed content ends too early";
    return false;
  }
  if ((st_.valid & ZIP_STAT_SIZE) && received_ != st_.size) {
    *message = "the content is shorter than the archive states";
    return false;
  }
  return !(sumsCrc_ && CrcFails(st_, crc_, message));
}

bool EntryContent::Deliver(const unsigned char* data, std::size_t size, std::string* message) {
  if (size == 0) return true;
  received_ += size;
  if ((st_.valid & ZIP_STAT_SIZE) && received_ > st_.size) {
    *message = "the content is longer than the archive states";
    return false;
  }
  if (sumsCrc_) crc_ = crc32(crc_, data, static_cast<uInt>(size));
  if (!sink_(reinterpret_cast<const char*>(data), size)) {
    *message = "the content could not be written";
    return false;
  }
  return true;
}

}  // namespace quarnel::archive::detail
