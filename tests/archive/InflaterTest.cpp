// The inflater that reads every backup back, held to zlib's inflate: the same content from
// every kind of stream in any pieces, and a refusal exactly where zlib refuses.
#include "archive/Inflater.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"

namespace quarnel::testing {
namespace {

using archive::detail::Inflater;

struct Deflating {
  const char* name;
  int level, windowBits, strategy;
  std::size_t flushEvery;  // 0: one stream; else a sync flush after so many bytes, as our writer's blocks end
};

std::string Deflated(const std::string& content, const Deflating& how) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, how.level, Z_DEFLATED, -how.windowBits, 9, how.strategy), Z_OK);
  std::string out(deflateBound(&z, content.size()) + 1024 + content.size() / 100, '\0');
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  const std::size_t step = how.flushEvery ? how.flushEvery : content.size() + 1;
  for (std::size_t at = 0;; at += step) {
    const std::size_t n = std::min(step, content.size() - std::min(at, content.size()));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data() + std::min(at, content.size())));
    z.avail_in = static_cast<uInt>(n);
    const bool last = at + n >= content.size();
    EXPECT_NE(deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH), Z_STREAM_ERROR);
    if (last) break;
  }
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

// Blocks written by hand: fields from their low bit, codes from their high bit.
class BlockWriter {
 public:
  void Field(unsigned bits, unsigned n) {
    for (unsigned i = 0; i < n; ++i) Bit((bits >> i) & 1);
  }
  void Code(unsigned code, unsigned n) {
    for (unsigned i = n; i-- > 0;) Bit((code >> i) & 1);
  }
  std::string Done() { return count_ > 0 ? out_ + static_cast<char>(buffer_) : out_; }

 private:
  void Bit(unsigned bit) {
    buffer_ |= bit << count_;
    if (++count_ == 8) out_ += static_cast<char>(buffer_), buffer_ = count_ = 0;
  }
  std::string out_;
  unsigned buffer_ = 0, count_ = 0;
};

// One fixed-code block of ASCII literals: longer than any block zlib makes, so it is still
// incomplete when the inflater's input buffer is full.
std::string OneFixedBlock(const std::string& ascii) {
  BlockWriter block;
  block.Field(1, 1);  // the last block
  block.Field(1, 2);  // fixed codes
  for (unsigned char c : ascii) block.Code(0x30 + c, 8);
  block.Code(0, 7);  // end of block
  return block.Done();
}

// "aaaaa" in a block of its own codes: 'a' in one bit and the end of the block in endBits,
// which leaves the literal/length code incomplete at 2; one distance code of one bit.
std::string FiveAs(unsigned endBits) {
  BlockWriter block;
  block.Field(1, 1);
  block.Field(2, 2);  // codes of its own
  block.Field(0, 5);  // 257 literal/length codes
  block.Field(0, 5);  // 1 distance code
  block.Field(14, 4);  // 18 code length codes, in their order: 18 in one bit, 2 and 1 in two
  for (unsigned length : {0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2}) block.Field(length, 3);
  auto zeros = [&](unsigned n) { block.Code(0, 1), block.Field(n - 11, 7); };
  zeros(97);
  block.Code(2, 2);  // 'a': 1
  zeros(138), zeros(20);
  block.Code(endBits == 1 ? 2 : 3, 2);  // end of block
  block.Code(2, 2);  // the distance code: 1
  for (int i = 0; i < 5; ++i) block.Code(0, 1);
  block.Code(endBits == 1 ? 1 : 2, endBits);
  return block.Done();
}

struct Result {
  Inflater::Status status;
  std::string content;
};

Result Inflate(const std::string& stream, std::mt19937* pieces = nullptr) {
  Result result{Inflater::Status::kGood, {}};
  Inflater inflater([&](const unsigned char* data, std::size_t size) {
    result.content.append(reinterpret_cast<const char*>(data), size);
    return true;
  });
  EXPECT_TRUE(inflater.Begin());
  const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
  for (std::size_t at = 0; at < stream.size() && result.status == Inflater::Status::kGood;) {
    const std::size_t n = std::min<std::size_t>(pieces ? 1 + (*pieces)() % 300000 : stream.size(), stream.size() - at);
    result.status = inflater.Feed(bytes + at, n);
    at += n;
  }
  if (result.status == Inflater::Status::kGood) result.status = inflater.Finish();
  return result;
}

bool ZlibInflates(const std::string& stream, std::string* content) {
  z_stream z{};
  inflateInit2(&z, -MAX_WBITS);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = static_cast<uInt>(stream.size());
  int result = Z_OK;
  char out[65536];
  while (result == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(out);
    z.avail_out = sizeof out;
    result = inflate(&z, Z_NO_FLUSH);
    content->append(out, sizeof out - z.avail_out);
  }
  inflateEnd(&z);
  return result == Z_STREAM_END && z.avail_in == 0;
}

std::string Base64Lines(const std::string& bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                       static_cast<unsigned char>(bytes[i + 2]);
    for (int k = 18; k >= 0; k -= 6) out += kDigits[(v >> k) & 63];
    if (i % 57 == 54) out += "\r\n";
  }
  return out;
}

TEST(Inflater, GivesZlibsContentWhateverTheStreamsBlocksAndPieces) {
  const std::string mail = MailLikeText(1500000, 7);
  const std::vector<std::pair<const char*, std::string>> contents = {
      {"mail", mail},
      {"attachment", Base64Lines(Incompressible(450000))},
      {"incompressible", Incompressible(300000)},  // stored blocks
      // A run whose block inflates to more than the output holds: zlib's, then the next block ours.
      {"zeros", mail.substr(0, 70000) + std::string(3 << 20, '\0') + mail.substr(0, 90000)},
      {"empty", ""},
      {"one byte", "x"},
  };
  const Deflating ways[] = {{"default", 6, 15, Z_DEFAULT_STRATEGY, 0},     {"fastest", 1, 15, Z_DEFAULT_STRATEGY, 0},
                            {"filtered", 9, 15, Z_FILTERED, 0},            {"huffman only", 6, 15, Z_HUFFMAN_ONLY, 0},
                            {"fixed codes", 6, 15, Z_FIXED, 0},            {"runs", 6, 15, Z_RLE, 0},
                            {"small window", 6, 9, Z_DEFAULT_STRATEGY, 0}, {"sync flushed", 6, 15, Z_DEFAULT_STRATEGY, 100000}};
  std::mt19937 pieces(11);
  for (const auto& [what, content] : contents) {
    for (const Deflating& way : ways) {
      SCOPED_TRACE(std::string(what) + ", " + way.name);
      const std::string stream = Deflated(content, way);
      for (std::mt19937* split : {static_cast<std::mt19937*>(nullptr), &pieces}) {
        const Result result = Inflate(stream, split);
        EXPECT_EQ(result.status, Inflater::Status::kEnded);
        EXPECT_TRUE(result.content == content) << result.content.size() << " bytes of " << content.size();
      }
    }
  }
  const std::string letters = mail.substr(0, 3 << 20);
  std::string ascii = letters;
  for (char& c : ascii) c = static_cast<char>(c & 0x7f);
  const Result long_block = Inflate(OneFixedBlock(ascii), &pieces);
  EXPECT_EQ(long_block.status, Inflater::Status::kEnded);
  EXPECT_TRUE(long_block.content == ascii);
}

TEST(Inflater, RefusesExactlyWhatZlibRefuses) {
  const std::string mail = MailLikeText(120000, 3);
  const std::vector<std::string> streams = {
      Deflated(mail, {"", 6, 15, Z_DEFAULT_STRATEGY, 30000}), Deflated(mail, {"", 6, 15, Z_FIXED, 0}),
      Deflated(Incompressible(70000) + mail.substr(0, 5000), {"", 6, 15, Z_DEFAULT_STRATEGY, 0}),
      OneFixedBlock(mail.substr(0, 20000))};
  std::mt19937 random(5);
  int refused = 0;
  for (const std::string& stream : streams) {
    for (int i = 0; i < 300; ++i) {
      std::string altered = stream;
      switch (i % 3) {
        case 0:  // a flipped bit, most often in the code tables at a block's start
          altered[random() % (i % 2 ? altered.size() : std::min<std::size_t>(altered.size(), 200))] ^=
              static_cast<char>(1 << (random() % 8));
          break;
        case 1:
          altered.resize(random() % altered.size());
          break;
        default:
          altered += static_cast<char>(random());
      }
      std::string expected;
      const bool zlibAccepts = ZlibInflates(altered, &expected);
      const Result result = Inflate(altered, &random);
      EXPECT_EQ(result.status == Inflater::Status::kEnded, zlibAccepts) << "alteration " << i;
      if (zlibAccepts) {
        EXPECT_TRUE(result.content == expected) << "alteration " << i;
      }
      refused += !zlibAccepts;
    }
  }
  EXPECT_GT(refused, 600);  // the alterations mostly damage the stream, as they should
  std::string zlibsContent;
  ASSERT_TRUE(ZlibInflates(FiveAs(1), &zlibsContent));
  EXPECT_EQ(zlibsContent, "aaaaa");
  EXPECT_EQ(Inflate(FiveAs(1)).content, "aaaaa");
  EXPECT_FALSE(ZlibInflates(FiveAs(2), &zlibsContent));
  EXPECT_EQ(Inflate(FiveAs(2)).status, Inflater::Status::kDamaged);
  EXPECT_EQ(Inflate(streams[0].substr(0, streams[0].size() - 1)).status, Inflater::Status::kShort);
  EXPECT_EQ(Inflate(streams[0] + "x").status, Inflater::Status::kRunsOn);
}

}  // namespace
}  // namespace quarnel::testing
