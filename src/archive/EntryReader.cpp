#include "archive/EntryReader.h"

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace quarnel::archive::detail {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileCloser>;

bool IsAes(const zip_stat_t& st) {
  return st.encryption_method == ZIP_EM_AES_128 || st.encryption_method == ZIP_EM_AES_192 ||
         st.encryption_method == ZIP_EM_AES_256;
}

// WinZip AES entries of the AE-2 kind store no CRC (zero) and rely on the authentication
// code alone; libzip 1.7 still reports that zero as valid, so it is not checked here.
bool CarriesCrc(const zip_stat_t& st) {
  if (!(st.valid & ZIP_STAT_CRC)) return false;
  return !(IsAes(st) && st.crc == 0);
}

std::string DescribeCode(int code, const std::string& detail) {
  switch (code) {
    case ZIP_ER_NOPASSWD:
      return "the entry needs a password";
    case ZIP_ER_WRONGPASSWD:
      return "wrong password";
    case ZIP_ER_CRC:
      return "the content fails its check (wrong password or damaged archive)";
    default:
      return detail;
  }
}

std::string OpenFailure(zip_t* archive) {
  zip_error_t* error = zip_get_error(archive);
  return DescribeCode(zip_error_code_zip(error), zip_error_strerror(error));
}

std::string ReadFailure(zip_file_t* file) {
  zip_error_t* error = zip_file_get_error(file);
  return DescribeCode(zip_error_code_zip(error), zip_error_strerror(error));
}

// Counts the content against the size the archive states, and its CRC.
class ContentCheck {
 public:
  explicit ContentCheck(const zip_stat_t& st) : st_(st), crc_(crc32(0L, Z_NULL, 0)) {}

  bool Take(const unsigned char* data, std::size_t size, std::string* message) {
    received_ += size;
    if ((st_.valid & ZIP_STAT_SIZE) && received_ > st_.size) {
      *message = "the content is longer than the archive states";
      return false;
    }
    crc_ = crc32(crc_, data, static_cast<uInt>(size));
    return true;
  }

  bool Finish(std::string* message) const {
    if ((st_.valid & ZIP_STAT_SIZE) && received_ != st_.size) {
      *message = "the content is shorter than the archive states";
      return false;
    }
    if (CarriesCrc(st_) && crc_ != st_.crc) {
      *message = "the content fails its CRC check (wrong password or damaged archive)";
      return false;
    }
    return true;
  }

 private:
  const zip_stat_t& st_;
  uLong crc_;
  std::uint64_t received_ = 0;
};

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  bool ok() const { return ok_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

// Deflated entries: libzip decrypts (and checks the AES code when the raw data has been
// read to its end); the inflating and the CRC are ours, so that AE-2 entries read.
bool ReadDeflated(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const ChunkSink& sink,
                  std::string* message) {
  ZipFile file(zip_fopen_index(archive, index, ZIP_FL_COMPRESSED));
  if (!file) {
    *message = OpenFailure(archive);
    return false;
  }
  Inflater inflater;
  if (!inflater.ok()) {
    *message = "out of memory";
    return false;
  }
  z_stream& z = inflater.stream();
  std::vector<unsigned char> in(kChunk), out(kChunk);
  ContentCheck check(st);
  bool ended = false;
  for (;;) {
    zip_int64_t n = zip_fread(file.get(), in.data(), in.size());
    if (n < 0) {
      *message = ReadFailure(file.get());
      return false;
    }
    if (n == 0) break;
    if (ended) continue;  // read on to the end all the same: that is where the AES code is checked
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(n);
    do {
      z.next_out = out.data();
      z.avail_out = static_cast<uInt>(out.size());
      int rc = inflate(&z, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        *message = "the compressed content is damaged";
        return false;
      }
      std::size_t produced = out.size() - z.avail_out;
      if (produced > 0) {
        if (!check.Take(out.data(), produced, message)) return false;
        if (!sink(reinterpret_cast<const char*>(out.data()), produced)) {
          *message = "the content could not be written";
          return false;
        }
      }
      if (rc == Z_STREAM_END) {
        ended = true;
        break;
      }
    } while (z.avail_out == 0);
  }
  if (!ended) {
    *message = "the compressed content ends too early";
    return false;
  }
  return check.Finish(message);
}

// Stored entries and any other method: libzip does the whole pipeline with its own CRC
// check; the size is ours.
bool ReadThroughLibzip(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const ChunkSink& sink,
                       std::string* message) {
  ZipFile file(zip_fopen_index(archive, index, 0));
  if (!file) {
    *message = OpenFailure(archive);
    return false;
  }
  std::vector<unsigned char> buffer(kChunk);
  ContentCheck check(st);
  for (;;) {
    zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0) {
      *message = ReadFailure(file.get());
      return false;
    }
    if (n == 0) break;
    if (!check.Take(buffer.data(), static_cast<std::size_t>(n), message)) return false;
    if (!sink(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(n))) {
      *message = "the content could not be written";
      return false;
    }
  }
  return check.Finish(message);
}

}  // namespace

bool ReadEntryChecked(zip_t* archive, zip_uint64_t index, const ChunkSink& sink, std::string* message) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive, index, 0, &st) != 0) {
    *message = zip_strerror(archive);
    return false;
  }
  const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
  if ((st.valid & needed) != needed) {
    *message = "the archive does not describe the entry";
    return false;
  }
  if (st.comp_method == ZIP_CM_DEFLATE) return ReadDeflated(archive, index, st, sink, message);
  return ReadThroughLibzip(archive, index, st, sink, message);
}

}  // namespace quarnel::archive::detail
