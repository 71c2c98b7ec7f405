#include "archive/ArchiveTestSupport.h"

#include <zip.h>

#include <algorithm>
#include <cstring>

#include "platform/Services.h"

namespace quarnel::testing {
namespace {

std::uint16_t U16(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
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

bool MakeZipDirectly(const std::string& path, const std::vector<RawEntry>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return false;
  for (const RawEntry& entry : entries) {
    zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
    if (!source || zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW) < 0) {
      zip_source_free(source);
      zip_discard(archive);
      return false;
    }
  }
  return zip_close(archive) == 0;
}

std::vector<std::string> FolderListing(const std::string& folder) {
  std::vector<std::string> names = platform::Files().ListFiles(folder);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace quarnel::testing
