// The skin file's reading rules: what it may say, and what makes it no skin at all.
#include <gtest/gtest.h>

#include "app/Skin.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::app {
namespace {

TEST(SkinTest, EntriesAreOptionalNamesIgnoreCaseStrayKeysAreSkippedAndTheFileIsInTheSkinsFolder) {
  std::optional<Skin> skin = ParseSkin(
      "\xEF\xBB\xBF; a comment\r\n# another\r\n\r\nGlow=#FFFFFF\r\n[Colors]\r\nWindow = #eef2F8\r\nTEXT=#1F2A44\r\n"
      "Shadow=#000000\r\n[Future]\r\nGlow=yes\r\n[font]\r\nface=Courier New\r\nSize=9\r\n");
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->window, (SkinColour{0xEE, 0xF2, 0xF8}));
  EXPECT_EQ(skin->text, (SkinColour{0x1F, 0x2A, 0x44}));
  EXPECT_FALSE(skin->heading);
  EXPECT_EQ(skin->fontFace, "Courier New");
  EXPECT_EQ(skin->fontSize, 9);
  std::optional<Skin> empty = ParseSkin("");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->window);
  EXPECT_EQ(empty->fontSize, 0);

  // Read from the skins folder of the program.
  testing::TempFolder dir;
  EXPECT_EQ(MainSkinPath("D:\\"), "D:\\skins\\frmmain.skn");
  std::string path = dir.File("frmmain.skn");
  EXPECT_FALSE(LoadSkin(path));  // missing
  ASSERT_TRUE(testing::WriteFileBytes(path, "[Colors]\r\nWindow=#0A0B0C\r\n"));
  EXPECT_EQ(LoadSkin(path).value_or(Skin{}).window, (SkinColour{10, 11, 12}));
  ASSERT_TRUE(testing::WriteFileBytes(path, "[Colors]\r\nWindow=#0A0B0\r\n"));
  EXPECT_FALSE(LoadSkin(path));
}

TEST(SkinTest, AnythingMalformedMakesItNoSkin) {
  for (const char* text : {
           "[Colors]\nWindow=#12345\n",
           "[Colors]\nWindow=#12345G\n",
           "[Colors]\nWindow=123456\n",
           "[Colors]\nWindow=#1234567\n",
           "[Colors\nWindow=#123456\n",
           "[Colors]\njust words\n",
           "[Colors]\n=#123456\n",
           "[Font]\nSize=5\n",
           "[Font]\nSize=15\n",
           "[Font]\nSize=8pt\n",
           "[Font]\nFace=\n",
           "[Font]\nFace=A face name far too long for a font\n",
       }) {
    EXPECT_FALSE(ParseSkin(text)) << text;
  }
  EXPECT_TRUE(ParseSkin("[Font]\nSize=6\n"));
  EXPECT_TRUE(ParseSkin("[Font]\nSize=14\n"));
}

}  // namespace
}  // namespace quarnel::app
