// Writes a mail-like data set for the archive benchmark: text messages with headers and
// quoted replies, a share of base64 attachments, in files of given sizes. With
// --attachments, most bytes are attachments, as in a real store: base64 of random bytes
// and binary blobs (pictures, archives) that deflate cannot shrink; about 70% is left after
// gzip -6.
//   quarnel_make_mailset [--attachments] <folder> <name>=<bytes>...
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const char* const kWords[] = {
    "the",      "and",        "meeting", "tomorrow", "please", "attached", "report",  "regards", "thanks",
    "project",  "schedule",   "review",  "budget",   "office", "week",     "Monday",  "Friday",  "customer",
    "invoice",  "delivery",   "update",  "question", "answer", "team",     "release", "version", "document",
    "call",     "conference", "travel",  "hotel",    "flight", "price",    "order",   "account", "password",
    "support",  "issue",      "fixed",   "we",       "you",    "will",     "can",     "not",     "this",
    "that",     "with",       "for",     "from",     "have",   "been",     "about",   "would",   "should"};
const char* const kPeople[] = {"anna.schmidt@example.de", "john.miller@example.com", "m.rossi@example.it",
                               "sales@example.org", "support@example.net"};
const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

struct Random {
  std::uint64_t state;
  std::uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }
};

void AppendBase64(Random& random, std::string& out) {
  out += "\r\nContent-Transfer-Encoding: base64\r\n\r\n";
  int lines64 = 20 + static_cast<int>(random.Below(200));
  for (int line = 0; line < lines64; ++line) {
    for (int c = 0; c < 76; ++c) out += kBase64[random.Below(64)];
    out += "\r\n";
  }
}

void AppendBlob(Random& random, std::string& out) {
  int bytes = 1024 + static_cast<int>(random.Below(15 * 1024));
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(random.Next() >> 7);
}

// One message in `oneIn` has a base64 attachment.
void AppendMessage(Random& random, std::string& out, std::uint32_t oneIn) {
  out += "Received: from mail.example.com ([192.0.2.";
  out += std::to_string(random.Below(255));
  out += "]) by mx.example.net; Mon, ";
  out += std::to_string(1 + random.Below(28));
  out += " Mar 2026 1";
  out += std::to_string(random.Below(10));
  out += ":0" + std::to_string(random.Below(10)) + ":00 +0100\r\nFrom: ";
  out += kPeople[random.Below(5)];
  out += "\r\nTo: ";
  out += kPeople[random.Below(5)];
  out += "\r\nSubject: Re: ";
  for (int i = 0; i < 4; ++i) (out += kWords[random.Below(54)]) += ' ';
  out += "\r\nMessage-ID: <" + std::to_string(random.Next()) + "@example.com>\r\n\r\n";
  int lines = 5 + static_cast<int>(random.Below(40));
  for (int line = 0; line < lines; ++line) {
    if (random.Below(4) == 0) out += "> ";
    int words = 6 + static_cast<int>(random.Below(8));
    for (int w = 0; w < words; ++w) (out += kWords[random.Below(54)]) += ' ';
    out += "\r\n";
  }
  if (random.Below(oneIn) == 0) AppendBase64(random, out);  // an attachment: base64 of random bytes
  out += "\r\n";
}

// One message; with attachments, every other one has one, and one item in eight is a blob.
void AppendItem(Random& random, std::string& out, bool attachments) {
  if (!attachments) return AppendMessage(random, out, 8);
  if (random.Below(8) == 0) return AppendBlob(random, out);
  AppendMessage(random, out, 2);
}

bool WriteFile(const std::string& path, std::uint64_t size, std::uint64_t seed, bool attachments) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  Random random{seed * 0x9E3779B97F4A7C15ull + 1};
  std::string chunk;
  std::uint64_t written = 0;
  while (written < size) {
    chunk.clear();
    while (chunk.size() < (1u << 20)) AppendItem(random, chunk, attachments);
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - written));
    if (std::fwrite(chunk.data(), 1, n, file) != n) {
      std::fclose(file);
      return false;
    }
    written += n;
  }
  return std::fclose(file) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool attachments = argc > 1 && std::string(argv[1]) == "--attachments";
  if (attachments) {
    ++argv;
    --argc;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s [--attachments] <folder> <name>=<bytes>...\n", argv[0]);
    return 2;
  }
  for (int i = 2; i < argc; ++i) {
    std::string spec = argv[i];
    std::size_t eq = spec.rfind('=');
    if (eq == std::string::npos) return 2;
    std::string path = std::string(argv[1]) + "/" + spec.substr(0, eq);
    const std::uint64_t bytes = std::strtoull(spec.c_str() + eq + 1, nullptr, 10);
    if (!WriteFile(path, bytes, static_cast<std::uint64_t>(i), attachments)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
