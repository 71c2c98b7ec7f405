// UDF's building blocks, names as CS0 identifiers, and what our reader makes of damage.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "DiscTestSupport.h"
#include "disc/DiscImage.h"
#include "disc/UdfFormat.h"
#include "disc/UdfReader.h"
#include "disc/UdfTree.h"
#include "disc/Verify.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;

unsigned char* Bytes(std::string& text, std::size_t at = 0) { return reinterpret_cast<unsigned char*>(&text[at]); }

TEST(UdfFormatTest, TagsCarryTheirChecksumAndCrcAndTextIsCs0CutToFit) {
  std::string example = "\x70\x6A\x77";
  EXPECT_EQ(udf::Crc(Bytes(example), 3), 0x3299);  // the standard's own example
  std::string d(512, '\0');
  d[100] = 'x';
  udf::SetTag(d, 0, udf::kTagTerminating, 300, d.size());
  EXPECT_EQ(udf::Get16(Bytes(d, 10)), 496);  // the CRC covers what follows the tag
  EXPECT_TRUE(udf::ValidTag(Bytes(d), d.size(), udf::kTagTerminating, 300));
  EXPECT_FALSE(udf::ValidTag(Bytes(d), d.size(), udf::kTagAnchor, 300));
  EXPECT_FALSE(udf::ValidTag(Bytes(d), d.size(), udf::kTagTerminating, 301));
  EXPECT_FALSE(udf::ValidTag(Bytes(d), 200, udf::kTagTerminating, 300));
  for (std::size_t at : {6, 100, 511}) {  // the serial number (checksum), and the body (CRC)
    std::string damaged = d;
    damaged[at] ^= 1;
    EXPECT_FALSE(udf::ValidTag(Bytes(damaged), damaged.size(), udf::kTagTerminating, 300)) << at;
  }

  EXPECT_EQ(udf::Cs0(u"Caf\u00e9"), std::string(1, '\x08') + "Caf\xE9");
  EXPECT_EQ(udf::Cs0(u"5\u20ac"), std::string("\x10\x00\x35\x20\xAC", 5));
  std::string field(32, 'x');
  udf::PutDString(field, 0, 32, std::u16string(40, u'a'));
  EXPECT_EQ(field, "\x08" + std::string(30, 'a') + "\x1F");
  udf::PutDString(field, 0, 32, std::u16string(20, u'\u20ac'));
  EXPECT_EQ(field[31], 31);  // 15 characters of two bytes
  EXPECT_EQ(udf::GetDString(Bytes(field), 32), std::u16string(15, u'\u20ac'));
}

class UdfImageTest : public ::testing::Test {
 protected:
  UdfImageTest() : tree_(events_) {
    options_.udf = true;
    options_.iso9660 = false;
  }

  std::string Write(const DiscImage& image, const std::string& name = "udf.iso") {
    std::string path = Join(dir_.path(), name);
    testing::WriteImage(image, path, 1 << 20);
    return path;
  }

  testing::TempFolder dir_;
  testing::RecordingListener events_;
  ImageTree tree_;
  ImageOptions options_;
};

TEST_F(UdfImageTest, NamesAreKeptWholeUpTo255BytesAndStayUnique) {
  std::string source = Join(dir_.path(), "s");
  testing::MakePatternFile(source, 10, 1);
  const std::string narrow296 = std::string(296, 'x');
  const std::pair<std::string, std::u16string> names[] = {
      {"Old;2005 caf\xE9.dbx", u"Old;2005 caf\u00e9.dbx"},  // 8-bit
      {"\x80 prices.txt", u"\u20ac prices.txt"},            // 16-bit: the euro sign is past U+00FF
      {std::string(250, 'n') + ".soe", std::u16string(250, u'n') + u".soe"},
      {narrow296 + ".soe", std::u16string(250, u'x') + u".soe"},
      {narrow296 + "y.soe", std::u16string(249, u'x') + u"1.soe"},
      {std::string(196, '\x80') + ".txt", std::u16string(123, u'\u20ac') + u".txt"},
  };
  std::set<std::string> expected, found;
  for (const auto& [ansi, recorded] : names) {
    tree_.AddFile(source, "\\" + ansi);
    expected.insert(udf::Cs0(recorded));
  }
  DiscImage image(tree_.RootNode(), options_);
  UdfReader reader;
  std::vector<DiscEntry> root;
  ASSERT_TRUE(reader.Open(Write(image)) && reader.List({}, &root));
  for (const DiscEntry& e : root) found.insert(e.id);
  EXPECT_EQ(found, expected);
  for (const ImageFile& file : image.Files()) EXPECT_EQ(found.count(file.discPath.back()), 1u) << file.imagePath;
}

TEST_F(UdfImageTest, DamageIsFoundAndTheSecondCopiesServe) {
  const std::string a = Join(dir_.path(), "a"), b = Join(dir_.path(), "b");
  testing::MakePatternFile(a, 5000, 1);
  testing::MakePatternFile(b, 0, 2);
  tree_.AddFile(a, "\\a.soe");
  tree_.AddFile(b, "\\Mail\\empty.txt");
  DiscImage image(tree_.RootNode(), options_);
  const std::string written = testing::ReadFileBytes(Write(image));
  const std::uint32_t last = image.Sectors() - 1;
  auto flip = [](std::vector<std::uint32_t> sectors) {
    return [sectors](std::string& bytes) {
      for (std::uint32_t sector : sectors) bytes[sector * 2048 + 40] ^= 0x55;
    };
  };
  // a.soe's data ends where the partition does (the closing anchor follows): its file entry
  // made to claim one block more, well formed but for that.
  auto pastPartition = [&image](std::string& bytes) {
    const std::uint32_t data = image.Files()[0].sector - UdfTree::kPartitionStart;
    for (std::uint32_t sector = UdfTree::kPartitionStart; sector < image.Files()[0].sector; ++sector) {
      unsigned char* p = Bytes(bytes, sector * 2048);
      if (udf::Get16(p) != udf::kTagFileEntry) continue;
      const std::size_t ad = 176 + udf::Get32(p + 168);
      if (udf::Get32(p + ad + 4) != data) continue;
      std::string entry = bytes.substr(sector * 2048, ad + udf::Get32(p + 172));
      const std::uint32_t claimed = (5000 + 2047) / 2048 * 2048 + 2048;
      udf::Put64(entry, 56, claimed);
      udf::Put32(entry, ad, claimed);
      udf::SetTag(entry, 0, udf::kTagFileEntry, sector - UdfTree::kPartitionStart, entry.size());
      bytes.replace(sector * 2048, entry.size(), entry);
    }
  };
  // Without ISO9660 the partition opens at 257 with the file set descriptor; the root's
  // file entry follows its terminator, then the root's identifiers.
  const struct {
    const char* what;
    std::function<void(std::string&)> damage;
    bool opens;
    std::vector<int> statuses;  // of a.soe and empty.txt
  } cases[] = {
      {"nothing", flip({}), true, {kVerifyMatched, kVerifyMatched}},
      {"the anchor at 256", flip({256}), true, {kVerifyMatched, kVerifyMatched}},
      {"both anchors", flip({256, last}), false, {kVerifyDiscUnreadable, kVerifyDiscUnreadable}},
      {"the main sequence's logical volume", flip({35}), true, {kVerifyMatched, kVerifyMatched}},
      {"both sequences' logical volumes", flip({35, 51}), false, {kVerifyDiscUnreadable, kVerifyDiscUnreadable}},
      {"the file set", flip({257}), false, {kVerifyDiscUnreadable, kVerifyDiscUnreadable}},
      {"the root's identifiers", flip({260}), true, {kVerifyDiscUnreadable, kVerifyDiscUnreadable}},
      {"an extent one block past the partition", pastPartition, true, {kVerifyDiscUnreadable, kVerifyMatched}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::string damaged = written;
    c.damage(damaged);
    const std::string path = Join(dir_.path(), "damaged.iso");
    ASSERT_TRUE(testing::WriteFileBytes(path, damaged));
    UdfReader reader;
    EXPECT_EQ(reader.Open(path), c.opens);
    events_.verified.clear();
    VerifyImage(image.Files(), ImageFiles(path, true), events_, [] { return false; });
    EXPECT_EQ(events_.verified, (std::vector<std::pair<std::string, int>>{{"\\a.soe", c.statuses[0]},
                                                                          {"\\Mail\\empty.txt", c.statuses[1]}}));
  }
}

}  // namespace
}  // namespace quarnel::disc
