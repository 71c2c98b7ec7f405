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

// A WinZip AES entry's stored data, decrypted (or, for a password check, only
// authenticated) on the way: the salt and verifier before it are taken when it is opened,
// the authentication code after it by Close.
class AesData : public StoredData {
 public:
  bool Open(zip_t* archive, zip_uint64_t index, const zip_stat_t& st, const std::string& password, bool decrypt,
            std::string* message) {
    const std::size_t keyLength = AesKeyLength(st);
    const std::size_t header = keyLength / 2 + WinZipAesDecryptor::kVerifierLength;
    if (!(st.valid & ZIP_STAT_COMP_SIZE) || st.comp_size < header + kTrailer) {
      *message = "the protected entry is damaged";
      return false;
    }
    if (password.empty()) {
      *message = "the entry needs a password";
      return false;
    }
    file_.reset(zip_fopen_index(archive, index, ZIP_FL_ENCRYPTED));
    if (!file_) {
      *message = OpenFailure(archive);
      return false;
    }
    unsigned char start[32 / 2 + WinZipAesDecryptor::kVerifierLength];
    if (!ReadExactly(file_.get(), start, header, message)) return false;
    if (!decryptor_.Start(password, start, keyLength, start + keyLength / 2)) {
      *message = "wrong password";
      return false;
    }
    decrypt_ = decrypt;
    left_ = st.comp_size - header - kTrailer;
    return true;
  }

  std::int64_t Read(unsigned char* data, std::size_t size, std::string* message) override {
    std::size_t n = static_cast<std::size_t>(std::min<zip_uint64_t>(left_, size));
    if (n == 0) return 0;
    if (!ReadExactly(file_.get(), data, n, message)) return -1;
    if (!(decrypt_ ? decryptor_.Decrypt(data, n) : decryptor_.Authenticate(data, n))) {
      *message = "the crypto library failed";
      return -1;
    }
    left_ -= n;
    return static_cast<std::int64_t>(n);
  }

  bool Close(std::string* message) override {
    unsigned char code[kTrailer];
    if (!ReadExactly(file_.get(), code, kTrailer, message)) return false;
    if (!decryptor_.Authentic(code)) {
      *message = "the content fails its authentication (wrong password or damaged archive)";
      return false;
    }
    return true;
  }

 private:
  static constexpr std::size_t kTrailer = WinZipAesDecryptor::kCodeLength;
  ZipFile file_;
  WinZipAesDecryptor decryptor_;
  bool decrypt_ = true;
  zip_uint64_t left_ = 0;
};

// Everything else as libzip yields it: the stored data decrypted (ZIP_FL_COMPRESSED) or
// the content itself (0: libzip inflates and checks the CRC).
class LibzipData : public StoredData {
 public:
  bool Open(zip_t* archive, zip_uint64_t index, zip_flags_t flags, std::string* message) {
    file_.reset(zip_fopen_index(archive, index, flags));
    if (!file_) *message = OpenFailure(archive);
    return file_ != nullptr;
  }
  std::int64_t Read(unsigned char* data, std::size_t size, std::string* message) override {
    zip_int64_t n = zip_fread(file_.get(), data, size);
    if (n < 0) *message = ReadFailure(file_.get());
    return n < 0 ? -1 : n;
  }
  bool Close(std::string*) override { return true; }

 private:
  ZipFile file_;
};

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

std::unique_ptr<StoredData> OpenStoredData(zip_t* archive, zip_uint64_t index, const std::string& password,
                                           zip_stat_t* st, std::string* message, const std::vector<EntryFacts>* record,
                                           bool ae1) {
  if (!DescribeEntry(archive, index, password, st, message, record, ae1)) return nullptr;
  if (AesKeyLength(*st) != 0) {
    auto data = std::make_unique<AesData>();
    if (!data->Open(archive, index, *st, password, true, message)) return nullptr;
    return data;
  }
  // Unprotected and traditionally protected deflated entries: libzip decrypts, the
  // inflating and the CRC are ours. Anything else goes through libzip's whole pipeline,
  // with its own CRC check; the size is still ours.
  const bool deflated = st->comp_method == ZIP_CM_DEFLATE;
  auto data = std::make_unique<LibzipData>();
  if (!data->Open(archive, index, deflated ? ZIP_FL_COMPRESSED : 0, message)) return nullptr;
  if (!deflated) st->comp_method = ZIP_CM_STORE;  // libzip hands over the content itself
  return data;
}

bool ReadEntryChecked(zip_t* archive, zip_uint64_t index, const std::string& password, const ChunkSink& sink,
                      std::string* message, const std::vector<EntryFacts>* record, bool ae1, ReadMode mode) {
  zip_stat_t st;
  std::unique_ptr<StoredData> data = OpenStoredData(archive, index, password, &st, message, record, ae1);
  return data && ReadContent(*data, st, sink, mode, message);
}

bool PasswordOpensEntry(zip_t* archive, zip_uint64_t index, const std::string& password, std::string* message) {
  zip_stat_t st;
  if (!DescribeEntry(archive, index, password, &st, message)) return false;
  if (AesKeyLength(st) == 0) {
    return ReadEntryChecked(
        archive, index, password, [](const char*, std::size_t) { return true; }, message, nullptr, false,
        ReadMode::kOneThread);
  }
  AesData data;
  if (!data.Open(archive, index, st, password, false, message)) return false;
  std::vector<unsigned char> buffer(kChunk);
  for (std::int64_t n; (n = data.Read(buffer.data(), buffer.size(), message)) != 0;) {
    if (n < 0) return false;
  }
  return data.Close(message);
}

}  // namespace quarnel::archive::detail
