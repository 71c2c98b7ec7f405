#include "archive/EntryReader.h"

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

// Reads a WinZip AES entry's stored data once: decrypted into the content when there is
// one, else only authenticated.
bool ReadAes(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const std::string& password,
             EntryContent* content, std::string* message) {
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
  if (content && !content->Begin(message)) return false;
  for (zip_uint64_t left = st.comp_size - header - trailer; left > 0;) {
    std::size_t n = static_cast<std::size_t>(std::min<zip_uint64_t>(left, buffer.size()));
    if (!ReadExactly(file.get(), buffer.data(), n, message)) return false;
    if (!(content ? decryptor.Decrypt(buffer.data(), n) : decryptor.Authenticate(buffer.data(), n))) {
      *message = "the crypto library failed";
      return false;
    }
    if (content && !content->Feed(buffer.data(), n, message)) return false;
    left -= n;
  }
  if (!ReadExactly(file.get(), buffer.data(), trailer, message)) return false;
  if (!decryptor.Authentic(buffer.data())) {
    *message = "the content fails its authentication (wrong password or damaged archive)";
    return false;
  }
  return !content || content->End(message);
}

// Feeds everything the open entry yields to the content check, then closes the check.
bool Drain(ZipFile& file, EntryContent& content, std::string* message) {
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
  EntryContent content(st, sink);
  if (!content.Begin(message)) return false;
  return Drain(file, content, message);
}

// Stored entries without WinZip AES: libzip decrypts, with its own CRC check; the size and
// the CRC are ours as well.
bool ReadThroughLibzip(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const ChunkSink& sink,
                       std::string* message) {
  ZipFile file(zip_fopen_index(archive, index, 0));
  if (!file) {
    *message = OpenFailure(archive);
    return false;
  }
  zip_stat_t asStored = st;
  asStored.comp_method = ZIP_CM_STORE;  // libzip hands over the content itself
  EntryContent content(asStored, sink);
  return Drain(file, content, message);
}

// Binds the entry to its line in the record: a name swapped, a size or method changed, or
// content put in the place of other content, is refused.
bool MatchRecord(zip_t* archive, zip_uint64_t index, const std::vector<EntryFacts>& record, zip_stat_t* st,
                 std::string* message) {
  const char* stored = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
  for (const EntryFacts& facts : record) {
    if (!stored || facts.name != stored) continue;
    if (st->comp_method != ZIP_CM_DEFLATE || st->size != facts.size) {
      *message = "the entry is not as the backup recorded it (the archive has been altered)";
      return false;
    }
    st->crc = facts.crc;
    st->valid |= ZIP_STAT_CRC;
    return true;
  }
  *message = "the entry is not among those the backup recorded (the archive has been altered)";
  return false;
}

}  // namespace

bool DescribeEntry(zip_t* archive, zip_uint64_t index, const std::string& password, zip_stat_t* st,
                   std::string* message, const std::vector<EntryFacts>* record, bool ae1) {
  zip_stat_init(st);
  if (zip_stat_index(archive, index, 0, st) != 0) {
    *message = zip_strerror(archive);
    return false;
  }
  const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD;
  if ((st->valid & needed) != needed) {
    *message = "the archive does not describe the entry";
    return false;
  }
  if (!password.empty() && st->encryption_method == ZIP_EM_NONE) {
    *message = "the entry is not protected in a protected archive (the archive has been altered)";
    return false;
  }
  // Asked to decrypt with a method it lacks, libzip 1.7 loses memory; refuse such entries first.
  if (st->encryption_method != ZIP_EM_NONE && !zip_encryption_method_supported(st->encryption_method, 0)) {
    *message = "the entry's protection is not supported";
    return false;
  }
  // Our backups hold deflated entries; older ones and other tools' archives stored ones too.
  if (st->comp_method != ZIP_CM_DEFLATE && st->comp_method != ZIP_CM_STORE) {
    *message = "the entry's compression method is not supported";
    return false;
  }
  // AE-2 writers leave the CRC empty or stale: the code alone decides.
  if (AesKeyLength(*st) != 0 && !ae1) st->valid &= ~ZIP_STAT_CRC;
  return !record || MatchRecord(archive, index, *record, st, message);
}

bool ReadEntryChecked(zip_t* archive, zip_uint64_t index, const std::string& password, const ChunkSink& sink,
                      std::string* message, const std::vector<EntryFacts>* record, bool ae1) {
  zip_stat_t st;
  if (!DescribeEntry(archive, index, password, &st, message, record, ae1)) return false;
  if (AesKeyLength(st) != 0) {
    EntryContent content(st, sink);
    return ReadAes(archive, index, st, password, &content, message);
  }
  if (st.comp_method == ZIP_CM_DEFLATE) return ReadDeflated(archive, index, st, sink, message);
  return ReadThroughLibzip(archive, index, st, sink, message);
}

bool PasswordOpensEntry(zip_t* archive, zip_uint64_t index, const std::string& password, std::string* message) {
  zip_stat_t st;
  if (!DescribeEntry(archive, index, password, &st, message)) return false;
  if (AesKeyLength(st) != 0) return ReadAes(archive, index, st, password, nullptr, message);
  return ReadEntryChecked(
      archive, index, password, [](const char*, std::size_t) { return true; }, message);
}

}  // namespace quarnel::archive::detail
