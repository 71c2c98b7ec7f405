#include "mailstore/DbxWriter.h"

#include <algorithm>
#include <cstring>

namespace quarnel::testing {
namespace {

constexpr std::uint32_t kHeaderSize = 0x24BC;
constexpr std::uint32_t kMessageFileInfo = 0x618, kFolderFileInfo = 0x108;
constexpr std::uint32_t kNodeSize = 0x27C;
constexpr std::size_t kNodeEntries = 0x33;

std::string Le32(std::uint32_t v) {
  const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  return std::string(b, 4);
}
std::string Le64(std::uint64_t v) { return Le32(std::uint32_t(v)) + Le32(std::uint32_t(v >> 32)); }

}  // namespace

std::uint64_t FileTimeAt(std::uint64_t secondsAfter) {
  return (11644473600ull + 1110792600ull + secondsAfter) * 10000000ull;
}

DbxWriter::DbxWriter(bool folderList, std::FILE *file) : folderList_(folderList), file_(file) {
  // The header and the file info come first; they are written last.
  end_ = kHeaderSize + (folderList ? kFolderFileInfo : kMessageFileInfo);
  if (!file_) bytes_.assign(end_, '\0');
}

void DbxWriter::Put(std::uint64_t at, const std::string &bytes) {
  if (file_) {
    fseeko(file_, static_cast<off_t>(at), SEEK_SET);
    std::fwrite(bytes.data(), 1, bytes.size(), file_);
  } else {
    if (bytes_.size() < at + bytes.size()) bytes_.resize(at + bytes.size());
    bytes_.replace(at, bytes.size(), bytes);
  }
}

std::uint32_t DbxWriter::Append(const std::string &bytes) {
  const std::uint32_t at = static_cast<std::uint32_t>(end_);
  Put(at, bytes);
  end_ += bytes.size();
  return at;
}

// An indexed info object: the first `direct` fields as values in the index
// field, the rest (strings with their zero, FILETIMEs, pointers) in the data
// field.
std::uint32_t DbxWriter::Indexed(const std::vector<std::pair<int, std::string>> &fields, int direct) {
  std::string index, data;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto &[id, value] = fields[i];
    const std::uint32_t v = static_cast<int>(i) < direct ? std::uint32_t(value[0]) : std::uint32_t(data.size());
    index += Le32((v << 8) | std::uint32_t(id) | (static_cast<int>(i) < direct ? 0x80 : 0));
    if (static_cast<int>(i) >= direct) data += value;
  }
  std::string body = index + data;
  body.resize((body.size() + 3) / 4 * 4, '\0');
  const std::uint32_t at = static_cast<std::uint32_t>(end_);
  return Append(Le32(at) + Le32(std::uint32_t(body.size())) + std::string(2, '\0') + char(fields.size()) + '\0' + body);
}

DbxPlaced DbxWriter::AddMessage(const DbxMessageSpec &m) {
  DbxPlaced placed;
  std::uint32_t first = 0;
  if (!m.headersOnly) {
    const std::size_t blocks = std::max<std::size_t>(1, (m.text.size() + kBlockRoom - 1) / kBlockRoom);
    first = static_cast<std::uint32_t>(end_);
    for (std::size_t i = 0; i < blocks; ++i) {
      const std::string piece = m.text.substr(i * kBlockRoom, kBlockRoom);
      const std::uint32_t at = static_cast<std::uint32_t>(end_);
      const std::uint32_t next = i + 1 < blocks ? at + 16 + kBlockRoom : 0;
      std::string block = Le32(at) + Le32(kBlockRoom) + Le32(std::uint32_t(piece.size())) + Le32(next) + piece;
      block.resize(16 + kBlockRoom, '\0');
      placed.blocks.push_back(Append(block));
    }
  }
  const std::uint32_t number = static_cast<std::uint32_t>(indexed_.size() + 1);
  std::vector<std::pair<int, std::string>> fields = {
      {0x00, std::string(1, char(number))}, {0x01, std::string(1, char(0x81))}, {0x02, Le64(m.sent)}};
  if (first) fields.push_back({0x04, Le32(first)});
  fields.push_back({0x07, "<" + std::to_string(number) + "@example.org>" + '\0'});
  fields.push_back({0x08, m.subject + '\0'});
  fields.push_back({0x0D, m.senderName + '\0'});
  fields.push_back({0x0E, m.senderAddress + '\0'});
  fields.push_back({0x12, Le64(m.sent + 600ull * 10000000ull)});
  placed.info = Indexed(fields, 2);
  if (!m.deleted) indexed_.push_back(placed.info);
  return placed;
}

std::uint32_t DbxWriter::AddFolder(std::uint32_t id, std::uint32_t parentId, const std::string &name,
                                   const std::string &fileName) {
  std::vector<std::pair<int, std::string>> fields = {{0x00, Le32(id)}, {0x01, Le32(parentId)}, {0x02, name + '\0'}};
  if (!fileName.empty()) fields.push_back({0x03, fileName + '\0'});
  const std::uint32_t at = Indexed(fields, 0);
  indexed_.push_back(at);
  return at;
}

// A B-tree node over values[0, n): up to 0x33 values of its own, each followed
// by the subtree of the values after it, and before them all the subtree of its
// first child. Past 0x33 values its 0x34 subtrees share the rest evenly.
std::uint32_t DbxWriter::WriteTree(const std::uint32_t *values, std::size_t n, std::uint32_t parent) {
  const std::uint32_t at = Append(std::string(kNodeSize, '\0'));
  const std::size_t own = std::min(n, kNodeEntries), below = n - own;
  std::size_t i = 0;
  // The c-th subtree's node, and its number of values in *take.
  auto subtree = [&](std::size_t c, std::uint32_t *take) {
    *take = static_cast<std::uint32_t>(below / (own + 1) + (c < below % (own + 1) ? 1 : 0));
    const std::uint32_t node = *take ? WriteTree(values + i, *take, at) : 0;
    i += *take;
    return node;
  };
  std::uint32_t firstCount = 0, count = 0;
  const std::uint32_t firstChild = subtree(0, &firstCount);
  std::string entries;
  for (std::size_t c = 1; c <= own; ++c) {
    const std::uint32_t value = values[i++];
    const std::uint32_t child = subtree(c, &count);
    entries += Le32(value) + Le32(child) + Le32(count);
  }
  Put(at, Le32(at) + Le32(0) + Le32(firstChild) + Le32(parent) + char(0) + char(own) + std::string(2, '\0') +
              Le32(firstCount) + entries);
  return at;
}

std::string DbxWriter::Finish() {
  const std::size_t n = indexed_.size();
  const std::uint32_t root = n ? WriteTree(indexed_.data(), n, 0) : 0;
  std::string header(kHeaderSize, '\0');
  auto set = [&](std::size_t at, const std::string &v) { header.replace(at, v.size(), v); };
  set(0x00, Le32(0xFE12ADCF));
  set(0x04, Le32(folderList_ ? 0x6F74FDC6 : 0x6F74FDC5));
  set(0x08, std::string("\x66\xE3\xD1\x11\x9A\x4E\x00\xC0\x4F\xA3\x09\xD4\x05"
                        "\x00\x00\x00\x05\x00\x00\x00",
                        20));
  set(0x1C, Le32(folderList_ ? kFolderFileInfo : kMessageFileInfo));
  set(0x5C, Le32(std::uint32_t(n)));
  set(0x64, Le32(1));
  set(0x7C, Le32(std::uint32_t(end_)));
  set(0xC4, Le32(std::uint32_t(n)));
  set(0xE4, Le32(root));
  Put(0, header);
  std::string info(folderList_ ? kFolderFileInfo : kMessageFileInfo, '\0');
  if (folderList_) {
    info.replace(0, 12, Le64(FileTimeAt()) + Le32(1));
  } else {
    info.replace(0, 5, Le32(1) + char(3));
  }
  Put(kHeaderSize, info);
  if (file_) std::fflush(file_);
  return file_ ? std::string() : bytes_;
}

namespace {

// An attachment of the given size: random bytes as base64 lines.
std::string Attachment(const std::string &type, std::size_t bytes, unsigned seed) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out = "--b2\r\nContent-Type: " + type + "\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  for (std::size_t i = 0; i < bytes / 3 * 4; ++i) {
    seed = seed * 1103515245u + 12345u;
    out += kAlphabet[(seed >> 16) & 63];
    if (i % 76 == 75) out += "\r\n";
  }
  return out + "\r\n";
}

DbxMessageSpec Mail(const std::string &subject, const std::string &extraHeaders, const std::string &body,
                    std::uint64_t hour) {
  const std::string text =
      "From: \"Anna M\xFCller\" <anna.mueller@example.org>\r\nTo: bob@example.net\r\nSubject: " + subject +
      "\r\nDate: Mon, 14 Mar 2005 09:30:00 +0100\r\nMessage-ID: <" + std::to_string(hour) +
      "@example.org>\r\nMIME-Version: 1.0\r\n" + extraHeaders + "\r\n" + body;
  return {text, subject, "Anna M\xFCller", "anna.mueller@example.org", FileTimeAt(hour * 3600)};
}

}  // namespace

std::vector<DbxMessageSpec> SampleMessages() {
  const std::string signature = "-- \r\nAnna M\xFCller\r\n\r\nExample Ltd.\r\n\r\n+49 221 555 0100\r\n";
  const std::string plain = "Content-Type: text/plain; charset=us-ascii\r\n";
  std::vector<DbxMessageSpec> m(kSamples);
  m[kPlain] = Mail("Lunch on Friday", plain, "Hi Bob,\r\n\r\nFriday at noon?\r\n\r\n" + signature, 0);
  m[kEightBit] = Mail("Gr\xFC\xDF\x65 aus K\xF6ln",
                      "Content-Type: text/plain; charset=windows-1252\r\nContent-Transfer-Encoding: 8bit\r\n",
                      "From the desk of Anna:\r\n>From an old letter\r\n>>From here\r\nFromage\r\n\r\n"
                      "Sch\xF6ne Gr\xFC\xDF\x65\r\n" +
                          signature,
                      1);
  m[kMultipart] = Mail("Agenda", "Content-Type: multipart/alternative; boundary=\"b1\"\r\n",
                       "--b1\r\nContent-Type: text/plain\r\n\r\nAgenda attached.\r\n--b1\r\n"
                       "Content-Type: text/html\r\n\r\n<p>Agenda attached.</p>\r\n--b1--\r\n",
                       2);
  m[kAttachments] = Mail("Photos 2005", "Content-Type: multipart/mixed; boundary=\"b2\"\r\n",
                         "--b2\r\nContent-Type: text/plain\r\n\r\nThe photos.\r\n" +
                             Attachment("image/jpeg; name=\"a.jpg\"", 150000, 1) +
                             Attachment("application/pdf; name=\"b.pdf\"", 40000, 2) + "--b2--\r\n",
                         3);
  m[kAwkward] = Mail("Re: a/b \"quoted\" <x>?*:|", plain, "Odd subject.\r\n", 4);
  m[kHeadersOnly] = Mail("Only the headers", plain, "", 5);
  m[kHeadersOnly].headersOnly = true;
  m[kDeleted] = Mail("Deleted long ago", plain, "Gone.\r\n", 6);
  m[kDeleted].deleted = true;
  m[kNoSubject] = Mail("", plain, "No subject here.\r\n", 7);
  return m;
}

}  // namespace quarnel::testing
