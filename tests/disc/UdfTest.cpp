// UDF's building blocks, names as CS0 identifiers, and what our reader makes of damage.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "DiscTestSupport.h"
#include "disc/DiscImage.h"
#include "disc/UdfFormat.h"
#include "disc/UdfReader.h"
#include "disc/Verify.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;

const unsigned char* Bytes(const std::string& text) { return reinterpret_cast<const unsigned char*>(text.data()); }

TEST(UdfFormatTest, TagsCarryTheirChecksumAndCrc) {
  EXPECT_EQ(udf::Crc(Bytes("\x70\x6A\x77"), 3), 0x3299);  // the standard's own example
  std::string d(512, '\0');
  d[100] = 'x';
  udf::SetTag(d, 0, udf::kTagTerminating, 300, d.size());
  EXPECT_EQ(udf::Get16(Bytes(d)), udf::kTagTerminating);
  EXPECT_EQ(udf::Get16(Bytes(d) + 2), 2);     // NSR02
  EXPECT_EQ(udf::Get16(Bytes(d) + 10), 496);  // the CRC covers what follows the tag
  EXPECT_TRUE(udf::ValidTag(Bytes(d), d.size(), udf::kTagTerminating, 300));
  EXPECT_FALSE(udf::ValidTag(Bytes(d), d.size(), udf::kTagAnchor, 300));
  EXPECT_FALSE(udf::ValidTag(Bytes(d), d.size(), udf::kTagTerminating, 301));
  EXPECT_FALSE(udf::ValidTag(Bytes(d), 200, udf::kTagTerminating, 300));
  for (std::size_t at : {6, 100, 511}) {  // the serial number (checksum), and the body (CRC)
    std::string damaged = d;
    damaged[at] ^= 1;
    EXPECT_FALSE(udf::ValidTag(Bytes(damaged), damaged.size(), udf::kTagTerminating, 300)) << at;
  }
}

TEST(UdfFormatTest, TextIsCs0OfOneOrTwoBytesAndDStringsAreCutToFit) {
  EXPECT_EQ(udf::Cs0(u"Caf\u00e9"), std::string(1, '\x08') + "Caf\xE9");
  EXPECT_EQ(udf::Cs0(u"5\u20ac"), std::string("\x10\x00\x35\x20\xAC", 5));
  EXPECT_EQ(udf::FromCs0(udf::Cs0(u"5\u20ac")), u"5\u20ac");
  EXPECT_EQ(udf::FromCs0(udf::Cs0(u"Caf\u00e9")), u"Caf\u00e9");

  std::string d(32, 'x');
  udf::PutDString(d, 0, 32, std::u16string(40, u'a'));
  EXPECT_EQ(d, "\x08" + std::string(30, 'a') + "\x1F");
  udf::PutDString(d, 0, 32, std::u16string(20, u'\u20ac'));
  EXPECT_EQ(udf::Get16(Bytes(d) + 29), 0xAC20);  // 15 characters, big-endian
  EXPECT_EQ(d[31], 31);
  EXPECT_EQ(udf::GetDString(Bytes(d), 32), std::u16string(15, u'\u20ac'));
  udf::PutDString(d, 0, 32, u"");
  EXPECT_EQ(d, std::string(32, '\0'));
}

class UdfImageTest : public ::testing::Test {
 protected:
  UdfImageTest() : tree_(events_) {}

  std::string Write(const DiscImage& image) {
    std::string path = Join(dir_.path(), "udf.iso");
    testing::WriteImage(image, path, 1 << 20);
    return path;
  }

  testing::TempFolder dir_;
  testing::RecordingListener events_;
  ImageTree tree_;
};

TEST_F(UdfImageTest, NamesAreKeptWholeUpTo255BytesAndStayUnique) {
  std::string source = Join(dir_.path(), "s");
  testing::MakePatternFile(source, 10, 1);
  const std::string narrow296 = std::string(296, 'x');
  const struct {
    std::string ansi;
    std::u16string recorded;
  } names[] = {
      {"caf\xE9 cr\xE8me.txt", u"caf\u00e9 cr\u00e8me.txt"},  // 8-bit
      {"\x80 prices.txt", u"\u20ac prices.txt"},              // 16-bit: the euro sign is past U+00FF
      {std::string(250, 'n') + ".soe", std::u16string(250, u'n') + u".soe"},
      {narrow296 + ".soe", std::u16string(250, u'x') + u".soe"},
      {narrow296 + "y.soe", std::u16string(249, u'x') + u"1.soe"},
      {std::string(196, '\x80') + ".txt", std::u16string(123, u'\u20ac') + u".txt"},
  };
  std::set<std::string> expected;
  for (const auto& name : names) {
    tree_.AddFile(source, "\\" + name.ansi);
    expected.insert(udf::Cs0(name.recorded));
  }
  ImageOptions options;
  options.iso9660 = false;
  options.udf = true;
  DiscImage image(tree_.RootNode(), options);
  UdfReader reader;
  ASSERT_TRUE(reader.Open(Write(image)));
  std::vector<DiscEntry> root;
  ASSERT_TRUE(reader.List({}, &root));
  std::set<std::string> found;
  for (const DiscEntry& e : root) {
    EXPECT_LE(e.id.size(), 255u);
    found.insert(e.id);
  }
  EXPECT_EQ(found, expected);
  for (const ImageFile& file : image.Files()) EXPECT_EQ(found.count(file.discPath.back()), 1u) << file.imagePath;
}

TEST_F(UdfImageTest, DamageIsFoundAndTheSecondCopiesServe) {
  std::string a = Join(dir_.path(), "a"), b = Join(dir_.path(), "b");
  testing::MakePatternFile(a, 5000, 1);
  testing::MakePatternFile(b, 0, 2);
  tree_.AddFile(a, "\\a.soe");
  tree_.AddFile(b, "\\Mail\\empty.txt");
  ImageOptions options;
  options.iso9660 = false;
  options.udf = true;
  DiscImage image(tree_.RootNode(), options);
  const std::string written = testing::ReadFileBytes(Write(image));
  const std::uint32_t last = image.Sectors() - 1;
  // Without ISO9660 the partition opens at 257 with the file set descriptor; the root's
  // file entry follows its terminator, then the root's identifiers.
  const struct {
    const char* what;
    std::vector<std::uint32_t> sectors;
    bool opens;
    bool reads;
  } cases[] = {
      {"nothing", {}, true, true},
      {"the anchor at 256", {256}, true, true},
      {"both anchors", {256, last}, false, false},
      {"the main sequence's logical volume", {35}, true, true},
      {"both sequences' logical volumes", {35, 51}, false, false},
      {"the file set", {257}, false, false},
      {"the root's identifiers", {260}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string damaged = written;
    for (std::uint32_t sector : c.sectors) damaged[sector * 2048 + 40] ^= 0x55;
    std::string path = Join(dir_.path(), "damaged.iso");
    ASSERT_TRUE(testing::WriteFileBytes(path, damaged));
    UdfReader reader;
    EXPECT_EQ(reader.Open(path), c.opens);
    VerifyResult result = VerifyImage(image.Files(), ImageFiles(path, true), events_, [] { return false; });
    EXPECT_EQ(result.verified, 2);
    EXPECT_EQ(result.matched, c.reads ? 2 : 0);
  }
}

}  // namespace
}  // namespace quarnel::disc
