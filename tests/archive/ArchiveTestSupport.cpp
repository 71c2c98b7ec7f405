#include "archive/ArchiveTestSupport.h"

#include <zip.h>
#include <zlib.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/Services.h"

namespace quarnel::testing {
namespace {

std::uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}
std::uint32_t U32(const std::string& b, std::size_t at) { return U16(b, at) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16; }

void Set16(std::string& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Set32(std::string& b, std::size_t at, std::uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}

// Offsets of the same fields in a local header and in a central directory record.
struct HeaderField {
  std::size_t local, central;
};
constexpr HeaderField kCrcField{14, 16}, kSizeField{22, 24};

void SetInBoth(std::string& zip, const CentralEntry& entry, HeaderField field, std::uint32_t value) {
  Set32(zip, entry.localAt + field.local, value);
  Set32(zip, entry.centralAt + field.central, value);
}

// Rewrites the body of the extra field with this id inside the extra area that starts at `at`.
void SetExtraBody(std::string& zip, std::size_t at, std::size_t length, std::uint16_t id, const std::string& body) {
  for (std::size_t end = at + length; at + 4 <= end; at += 4u + U16(zip, at + 2)) {
    if (U16(zip, at) == id) zip.replace(at + 4, body.size(), body);
  }
}

// zlib's crc32 inverts before and after; the cipher's key schedule wants the bare step.
std::uint32_t CrcStep(std::uint32_t crc, unsigned char byte) { return ~static_cast<std::uint32_t>(crc32(~crc, &byte, 1)); }

// The traditional zip cipher, straight from the format's description.
class TraditionalCipher {
 public:
  explicit TraditionalCipher(const std::string& password) {
    for (char c : password) Update(static_cast<unsigned char>(c));
  }
  unsigned char Encrypt(unsigned char plain) {
    unsigned char out = plain ^ Stream();
    Update(plain);
    return out;
  }
  unsigned char Decrypt(unsigned char cipher) {
    unsigned char plain = cipher ^ Stream();
    Update(plain);
    return plain;
  }

 private:
  unsigned char Stream() const {
    const std::uint32_t temp = (keys_[2] | 2u) & 0xFFFFu;
    return static_cast<unsigned char>((temp * (temp ^ 1u)) >> 8);
  }
  void Update(unsigned char plain) {
    keys_[0] = CrcStep(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CrcStep(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
  }
  std::uint32_t keys_[3] = {0x12345678u, 0x23456789u, 0x34567890u};
};

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

std::string MailLikeText(std::size_t size, unsigned seed) {
  static const char* const words[] = {"Hello",  "meeting", "tomorrow", "Received:", "from", "Subject:", "the",
                                      "report", "please",  "attached", "regards",   "Re:",  "Outlook",  "\r\n"};
  std::string out;
  out.reserve(size);
  std::uint32_t state = seed * 2654435761u + 1;
  while (out.size() < size) {
    state = state * 1664525u + 1013904223u;
    out += words[(state >> 16) % (sizeof words / sizeof *words)];
    out += (state & 0x100) ? ' ' : static_cast<char>('0' + (state >> 24) % 10);
  }
  out.resize(size);
  return out;
}

std::string Incompressible(std::size_t size) {
  std::string out(size, '\0');
  std::uint32_t state = 99;
  for (char& c : out) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 23);
  return out;
}

void LiveFolder::PutBack() const { WriteFileBytes(File("Inbox.dbx"), "the live mail folder"); }

void LiveFolder::ExpectUntouched() const {
  EXPECT_EQ(ReadFileBytes(File("Inbox.dbx")), "the live mail folder");
  EXPECT_THAT(FolderListing(path()), ::testing::ElementsAre("Inbox.dbx"));
}

std::vector<CentralEntry> CentralDirectory(const std::string& zip) {
  std::vector<CentralEntry> entries;
  std::size_t at = 0;
  while ((at = zip.find(std::string("PK\x01\x02", 4), at)) != std::string::npos && at + 46 <= zip.size()) {
    CentralEntry entry;
    entry.flags = U16(zip, at + 8);
    entry.method = U16(zip, at + 10);
    std::size_t nameLength = U16(zip, at + 28), extraLength = U16(zip, at + 30);
    entry.name = zip.substr(at + 46, nameLength);
    entry.extra = zip.substr(at + 46 + nameLength, extraLength);
    entry.crc = U32(zip, at + 16);
    entry.compressedSize = U32(zip, at + 20);
    entry.centralAt = at;
    entry.localAt = U32(zip, at + 42);
    entries.push_back(entry);
    at += 46;
  }
  return entries;
}

std::string ExtraField(const std::string& extra, std::uint16_t id) {
  std::size_t at = 0;
  while (at + 4 <= extra.size()) {
    std::uint16_t fieldId = U16(extra, at), length = U16(extra, at + 2);
    if (fieldId == id) return extra.substr(at + 4, length);
    at += 4u + length;
  }
  return {};
}

std::size_t DataAt(const std::string& zip, const CentralEntry& entry) {
  return entry.localAt + 30 + U16(zip, entry.localAt + 26) + U16(zip, entry.localAt + 28);
}

void SetCrc(std::string& zip, const CentralEntry& entry, std::uint32_t crc) { SetInBoth(zip, entry, kCrcField, crc); }

void SetStatedSize(std::string& zip, const CentralEntry& entry, std::uint32_t size) {
  SetInBoth(zip, entry, kSizeField, size);
}

void SetAesField(std::string& zip, const CentralEntry& entry, std::uint16_t version, std::uint16_t method) {
  std::string body = ExtraField(entry.extra, 0x9901);
  Set16(body, 0, version);
  Set16(body, 5, method);
  const std::size_t localNameLength = U16(zip, entry.localAt + 26);
  SetExtraBody(zip, entry.localAt + 30 + localNameLength, U16(zip, entry.localAt + 28), 0x9901, body);
  SetExtraBody(zip, entry.centralAt + 46 + entry.name.size(), entry.extra.size(), 0x9901, body);
}

bool MakeZipDirectly(const std::string& path, const std::vector<RawEntry>& entries, const std::string& password,
                     std::uint16_t aesMethod) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const RawEntry& entry : entries) {
    zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
    zip_int64_t index = source ? zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW) : -1;
    if (index < 0) zip_source_free(source);
    const auto at = static_cast<zip_uint64_t>(index);
    bool ok = index >= 0 && zip_set_file_compression(archive, at, entry.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0) == 0;
    ok = ok && (aesMethod == 0 || zip_file_set_encryption(archive, at, aesMethod, password.c_str()) == 0);
    if (!ok) {
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

bool MakeTraditionallyProtectedZip(const std::string& path, const std::vector<RawEntry>& entries,
                                   const std::string& password, const std::string& alsoPassesVerifier,
                                   std::size_t passing) {
  const std::uint32_t dosTime = 0x6000, dosDate = 0x5A21;  // 2025-01-01 12:00
  std::string zip, central;
  std::uint32_t seed = 1;
  for (std::size_t index = 0; index < entries.size(); ++index) {
    const RawEntry& entry = entries[index];
    const bool shouldPass = index < passing;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(entry.content.data()), static_cast<uInt>(entry.content.size())));
    const unsigned char check = static_cast<unsigned char>(crc >> 24);
    std::string header;
    for (;;) {  // about 256 tries
      std::string plain;
      for (int i = 0; i < 11; ++i) plain += static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
      plain += static_cast<char>(check);
      TraditionalCipher right(password), wrong(alsoPassesVerifier);
      header.clear();
      for (char c : plain) header += static_cast<char>(right.Encrypt(static_cast<unsigned char>(c)));
      unsigned char last = 0;
      for (char c : header) last = wrong.Decrypt(static_cast<unsigned char>(c));
      if ((last == check) == shouldPass) {
        for (char c : entry.content) header += static_cast<char>(right.Encrypt(static_cast<unsigned char>(c)));
        break;
      }
    }
    const auto offset = static_cast<std::uint32_t>(zip.size());
    auto common = [&](std::string& out) {
      Put16(out, 20);  // version needed
      Put16(out, 1);   // protected
      Put16(out, 0);   // stored
      Put16(out, dosTime);
      Put16(out, dosDate);
      Put32(out, crc);
      Put32(out, static_cast<std::uint32_t>(header.size()));
      Put32(out, static_cast<std::uint32_t>(entry.content.size()));
      Put16(out, static_cast<std::uint32_t>(entry.name.size()));
      Put16(out, 0);  // extra
    };
    Put32(zip, 0x04034b50);
    common(zip);
    zip += entry.name;
    zip += header;
    Put32(central, 0x02014b50);
    Put16(central, 20);  // made by
    common(central);
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, offset);
    central += entry.name;
  }
  const auto centralOffset = static_cast<std::uint32_t>(zip.size());
  zip += central;
  Put32(zip, 0x06054b50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put32(zip, static_cast<std::uint32_t>(central.size()));
  Put32(zip, centralOffset);
  Put16(zip, 0);
  return platform::Files().WriteAll(path, zip);
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names = platform::Files().ListFiles(folder);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quarnel::testing
