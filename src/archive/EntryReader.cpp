#include "archive/EntryReader.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/WinZipAes.h"

namespace quarnel::archive::detail {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileCloser>;

std::size_t AesKeyLength(const zip_stat_t& st) {
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

// WinZip AES entries of the AE-2 kind store no CRC (zero) and rely on the authentication
// code alone; libzip 1.7 still reports that zero as valid, so it is not checked here.
bool CarriesCrc(const zip_stat_t& st) {
  if (!(st.valid & ZIP_STAT_CRC)) return false;
  return !(AesKeyLength(st) != 0 && st.crc == 0);
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

// Takes an entry's stored data, once decrypted, and hands on the content: as it is for a
// stored entry, inflated for a deflated one.
class Content {
 public:
  Content(const zip_stat_t& st, const ChunkSink& sink) : deflated_(st.comp_method == ZIP_CM_DEFLATE), check_(st), sink_(sink) {}
  ~Content() {
    if (inflating_) inflateEnd(&z_);
  }

  bool Begin(std::string* message) {
    if (!deflated_) return true;
    inflating_ = inflateInit2(&z_, -MAX_WBITS) == Z_OK;
    if (!inflating_) *message = "out of memory";
    out_.resize(kChunk);
    return inflating_;
  }

  bool Feed(unsigned char* data, std::size_t size, std::string* message) {
    if (!deflated_) return Deliver(data, size, message);
    if (ended_) return true;  // anything after the end of the deflated stream is ignored
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
        return true;
      }
    } while (z_.avail_out == 0);
    return true;
  }

  bool End(std::string* message) {
    if (deflated_ && !ended_) {
      *message = "the compressed content ends too early";
      return false;
    }
    return check_.Finish(message);
  }

 private:
  bool Deliver(const unsigned char* data, std::size_t size, std::string* message) {
    if (size == 0) return true;
    if (!check_.Take(data, size, message)) return false;
    if (!sink_(reinterpret_cast<const char*>(data), size)) {
      *message = "the content could not be written";
      return false;
    }
    return true;
  }

  bool deflated_;
  bool inflating_ = false;
  bool ended_ = false;
  z_stream z_{};
  std::vector<unsigned char> out_;
  ContentCheck check_;
  const ChunkSink& sink_;
};

// Reads exactly size bytes of the entry's raw data. Asking for no more than is left keeps
// libzip from reaching the end, where it would check a CRC of data still encrypted.
bool ReadExactly(zip_file_t* file, unsigned char* data, std::size_t size, std::string* message) {
  zip_int64_t n = zip_fread(file, data, size);
  if (n < 0) {
    *message = ReadFailure(file);
    return false;
  }
  if (static_cast<std::size_t>(n) != size) {
    *message = "the archive ends inside the entry";
    return false;
  }
  return true;
}

bool ReadAes(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const std::string& password,
             const ChunkSink& sink, std::string* message) {
  const std::size_t keyLength = AesKeyLength(st);
  const std::size_t header = keyLength / 2 + WinZipAesDecryptor::kVerifierLength;
  const std::size_t trailer = WinZipAesDecryptor::kCodeLength;
  if (!(st.valid & ZIP_STAT_COMP_SIZE) || st.comp_size < header + trailer) {
    *message = "the protected entry is damaged";
    return false;
  }
  if (password.empty()) {
    *message = "the entry needs a password";
    return false;
  }
  ZipFile file(zip_fopen_index(archive, index, ZIP_FL_ENCRYPTED));
  if (!file) {
    *message = OpenFailure(archive);
    return false;
  }
  std::vector<unsigned char> buffer(std::max<std::size_t>(kChunk, header));
  if (!ReadExactly(file.get(), buffer.data(), header, message)) return false;
  WinZipAesDecryptor decryptor;
  if (!decryptor.Start(password, buffer.data(), keyLength, buffer.data() + keyLength / 2)) {
    *message = "wrong password";
    return false;
  }
  Content content(st, sink);
  if (!content.Begin(message)) return false;
  for (zip_uint64_t left = st.comp_size - header - trailer; left > 0;) {
    std::size_t n = static_cast<std::size_t>(std::min<zip_uint64_t>(left, buffer.size()));
    if (!ReadExactly(file.get(), buffer.data(), n, message)) return false;
    if (!decryptor.Decrypt(buffer.data(), n)) {
      *message = "the crypto library failed";
      return false;
    }
    if (!content.Feed(buffer.data(), n, message)) return false;
    left -= n;
  }
  if (!ReadExactly(file.get(), buffer.data(), trailer, message)) return false;
  if (!decryptor.Authentic(buffer.data())) {
    *message = "the content fails its authentication (wrong password or damaged archive)";
    return false;
  }
  return content.End(message);
}

// Feeds everything the open entry yields to the content check, then closes the check.
bool Drain(ZipFile& file, Content& content, std::string* message) {
  std::vector<unsigned char> buffer(kChunk);
  for (;;) {
    zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0) {
      *message = ReadFailure(file.get());
      return false;
    }
    if (n == 0) break;
    if (!content.Feed(buffer.data(), static_cast<std::size_t>(n), message)) return false;
  }
  return content.End(message);
}

// Unprotected and traditionally protected deflated entries: libzip decrypts, the
// inflating and the CRC are ours.
bool ReadDeflated(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const ChunkSink& sink,
                  std::string* message) {
  ZipFile file(zip_fopen_index(archive, index, ZIP_FL_COMPRESSED));
  if (!file) {
    *message = OpenFailure(archive);
    return false;
  }
  Content content(st, sink);
  if (!content.Begin(message)) return false;
  return Drain(file, content, message);
}

// Everything else: libzip's whole pipeline, with its own CRC check; the size is ours.
bool ReadThroughLibzip(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const ChunkSink& sink,
                       std::string* message) {
  ZipFile file(zip_fopen_index(archive, index, 0));
  if (!file) {
    *message = OpenFailure(archive);
    return false;
  }
  zip_stat_t asStored = st;
  asStored.comp_method = ZIP_CM_STORE;  // libzip hands over the content itself
  Content content(asStored, sink);
  return Drain(file, content, message);
}

}  // namespace

bool ReadEntryChecked(zip_t* archive, zip_uint64_t index, const std::string& password, const ChunkSink& sink,
                      std::string* message) {
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
  // Asked to decrypt with a method it lacks, libzip 1.7 loses memory; refuse such entries first.
  if (st.encryption_method != ZIP_EM_NONE && !zip_encryption_method_supported(st.encryption_method, 0)) {
    *message = "the entry's protection is not supported";
    return false;
  }
  const bool ourMethod = st.comp_method == ZIP_CM_DEFLATE || st.comp_method == ZIP_CM_STORE;
  if (AesKeyLength(st) != 0 && ourMethod) return ReadAes(archive, index, st, password, sink, message);
  if (st.comp_method == ZIP_CM_DEFLATE) return ReadDeflated(archive, index, st, sink, message);
  return ReadThroughLibzip(archive, index, st, sink, message);
}

}  // namespace quarnel::archive::detail
