// The skin file's reading rules: what it may say, and what makes it no skin at all.
#include <gtest/gtest.h>

#include "app/Skin.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::app {
namespace {

TEST(SkinTest, ReadsColoursAndFont) {
  std::optional<Skin> skin = ParseSkin(
      "\xEF\xBB\xBF; a comment\r\n# another\r\n\r\n[Colors]\r\nWindow = #eef2F8\r\nText=#1F2A44\r\n"
      "Heading=#000001\r\n[Font]\r\nFace=Tahoma\r\nSize=9\r\n");
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->window, (SkinColour{0xEE, 0xF2, 0xF8}));
  EXPECT_EQ(skin->text, (SkinColour{0x1F, 0x2A, 0x44}));
  EXPECT_EQ(skin->heading, (SkinColour{0, 0, 1}));
  EXPECT_EQ(skin->fontFace, "Tahoma");
  EXPECT_EQ(skin->fontSize, 9);
}

TEST(SkinTest, EntriesAreOptionalAndNamesIgnoreCase) {
  std::optional<Skin> skin = ParseSkin("[colors]\nTEXT=#010203\n[Future]\nGlow=yes\n[font]\nface=Courier New\n");
  ASSERT_TRUE(skin);
  EXPECT_FALSE(skin->window);
  EXPECT_EQ(skin->text, (SkinColour{1, 2, 3}));
  EXPECT_FALSE(skin->heading);
  EXPECT_EQ(skin->fontFace, "Courier New");
  EXPECT_EQ(skin->fontSize, 0);

  std::optional<Skin> empty = ParseSkin("");
  ASSERT_TRUE(empty);
  EXPECT_FALSE(empty->window);
  EXPECT_TRUE(empty->fontFace.empty());
  // Keys outside a known section, and unknown keys inside one, are skipped.
  std::optional<Skin> stray = ParseSkin("Window=#FFFFFF\n[Colors]\nShadow=#000000\n");
  ASSERT_TRUE(stray);
  EXPECT_FALSE(stray->window);
}

TEST(SkinTest, AnythingMalformedMakesItNoSkin) {
  for (const char* text : {
           "[Colors]\nWindow=#12345\n",         // five digits
           "[Colors]\nWindow=#12345G\n",        // not hex
           "[Colors]\nWindow=123456\n",         // no '#'
           "[Colors]\nWindow=#1234567\n",       // seven digits
           "[Colors\nWindow=#123456\n",         // unclosed section
           "[Colors]\njust words\n",            // neither key=value nor anything else
           "[Colors]\n=#123456\n",              // no key
           "[Font]\nSize=5\n",                  // too small
           "[Font]\nSize=15\n",                 // too large
           "[Font]\nSize=8pt\n",                // not a number
           "[Font]\nFace=\n",                   // no face
           "[Font]\nFace=A face name far too long for a font\n",
       }) {
    EXPECT_FALSE(ParseSkin(text)) << text;
  }
  EXPECT_TRUE(ParseSkin("[Font]\nSize=6\n"));
  EXPECT_TRUE(ParseSkin("[Font]\nSize=14\n"));
}

TEST(SkinTest, LoadsFromTheSkinsFolder) {
  testing::TempFolder dir;
  EXPECT_EQ(MainSkinPath("C:\\Program Files\\Quarnel"), "C:\\Program Files\\Quarnel\\skins\\frmmain.skn");
  EXPECT_EQ(MainSkinPath("D:\\"), "D:\\skins\\frmmain.skn");

  std::string path = dir.File("frmmain.skn");
  EXPECT_FALSE(LoadSkin(path));  // missing
  ASSERT_TRUE(testing::WriteFileBytes(path, "[Colors]\r\nWindow=#0A0B0C\r\n"));
  std::optional<Skin> skin = LoadSkin(path);
  ASSERT_TRUE(skin);
  EXPECT_EQ(skin->window, (SkinColour{10, 11, 12}));
  ASSERT_TRUE(testing::WriteFileBytes(path, "[Colors]\r\nWindow=#0A0B0\r\n"));
  EXPECT_FALSE(LoadSkin(path));
}

}  // namespace
}  // namespace quarnel::app
