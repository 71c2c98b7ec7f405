#include "archive/EntryContent.h"

#include <new>
#include <utility>

namespace quarnel::archive::detail {
namespace {

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

EntryContent::~EntryContent() = default;

bool EntryContent::Begin(std::string* message) {
  if (!deflated_) return true;
  try {
    inflater_ = std::make_unique<Inflater>([this](const unsigned char* data, std::size_t size) {
      return Deliver(data, size, message_);
    });
  } catch (const std::bad_alloc&) {
  }
  if (inflater_ && inflater_->Begin()) return true;
  *message = "out of memory";
  return false;
}

bool EntryContent::Feed(unsigned char* data, std::size_t size, std::string* message) {
  if (!deflated_) return Deliver(data, size, message);
  if (ended_ && size > 0) return RunsOn(message);
  message_ = message;
  return Inflated(inflater_->Feed(data, size), message);
}

bool EntryContent::Inflated(Inflater::Status status, std::string* message) {
  switch (status) {
    case Inflater::Status::kGood:
      return true;
    case Inflater::Status::kEnded:
      ended_ = true;
      return true;
    case Inflater::Status::kRunsOn:
      return RunsOn(message);
    case Inflater::Status::kShort:
      *message = "the compressed content ends too early";
      return false;
    case Inflater::Status::kDamaged:
      *message = "the compressed content is damaged (or the password is wrong)";
      return false;
    case Inflater::Status::kNoMemory:
      *message = "out of memory";
      return false;
    case Inflater::Status::kRefused:
      return false;  // Deliver said why
  }
  return false;
}

bool EntryContent::End(std::string* message) {
  if (deflated_ && !ended_) {
    message_ = message;
    if (!Inflated(inflater_->Finish(), message)) return false;
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
