#include "archive/ArchiveTestSupport.h"

#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/Services.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

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

}  // namespace

std::uint64_t CurrentThread() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  return static_cast<std::uint64_t>(pthread_self());
#endif
}

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
  // From where the end record says the directory starts: the signature also turns up by
  // chance in compressed or encrypted data.
  const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
  std::size_t at = end != std::string::npos && end + 22 <= zip.size() ? U32(zip, end + 16) : zip.size();
  while (at + 46 <= zip.size() && zip.compare(at, 4, "PK\x01\x02", 4) == 0) {
    CentralEntry entry;
    entry.flags = U16(zip, at + 8);
    std::size_t nameLength = U16(zip, at + 28), extraLength = U16(zip, at + 30);
    entry.name = zip.substr(at + 46, nameLength);
    entry.crc = U32(zip, at + 16);
    entry.compressedSize = U32(zip, at + 20);
    entry.centralAt = at;
    entry.localAt = U32(zip, at + 42);
    entries.push_back(entry);
    at += 46 + nameLength + extraLength + U16(zip, at + 32);
  }
  return entries;
}

std::size_t DataAt(const std::string& zip, const CentralEntry& entry) {
  return entry.localAt + 30 + U16(zip, entry.localAt + 26) + U16(zip, entry.localAt + 28);
}

void SetCrc(std::string& zip, const CentralEntry& entry, std::uint32_t crc) { SetInBoth(zip, entry, kCrcField, crc); }

void SetStatedSize(std::string& zip, const CentralEntry& entry, std::uint32_t size) {
  SetInBoth(zip, entry, kSizeField, size);
}

void SetAesField(std::string& zip, const CentralEntry& entry, std::uint16_t version, std::uint16_t method) {
  // The field's id and length (0x9901, 7), found after the start of each header.
  const std::string field("\x01\x99\x07\x00", 4);
  for (std::size_t header : {entry.localAt, entry.centralAt}) {
    const std::size_t body = zip.find(field, header) + field.size();
    Set16(zip, body, version);
    Set16(zip, body + 5, method);
  }
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
  // libzip draws each header at random: an entry is written again until the other password
  // passes its verifier (about 256 tries) or fails it, as asked; earlier entries are copied.
  platform::Files().RemoveFile(path);
  for (std::size_t index = 0; index < entries.size(); ++index) {
    for (bool done = false; !done;) {
      zip_t* archive = zip_open(path.c_str(), ZIP_CREATE, nullptr);
      if (!archive) return false;
      zip_delete(archive, index);  // the last try's, if any
      const RawEntry& entry = entries[index];
      zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
      const zip_int64_t at = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
      const auto added = static_cast<zip_uint64_t>(at);
      if (at < 0 || zip_set_file_compression(archive, added, ZIP_CM_STORE, 0) != 0 ||
          zip_file_set_encryption(archive, added, ZIP_EM_TRAD_PKWARE, password.c_str()) != 0 || zip_close(archive)) {
        zip_discard(archive);
        return false;
      }
      archive = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
      zip_file_t* opened = archive ? zip_fopen_index_encrypted(archive, index, 0, alsoPassesVerifier.c_str()) : nullptr;
      done = (opened != nullptr) == (index < passing);
      if (opened) zip_fclose(opened);
      if (archive) zip_discard(archive);
    }
  }
  return true;
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names = platform::Files().ListFiles(folder);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quarnel::testing
