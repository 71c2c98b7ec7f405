#include <string>
#include <vector>

#include "RegistryFixture.h"
#include "registry/ModReg.h"

namespace quarnel::testing {
namespace {

using namespace platform;
using namespace registry;

using ModReg = RegistryTest;

TEST_P(ModReg, SplitsARootNameAloneAndARootWithItsSubPath) {
  KeyPath alone = SplitKeyName("HKEY_CURRENT_USER");
  EXPECT_EQ(alone.root, kHkeyCurrentUser);
  EXPECT_EQ(alone.subPath, "");
  KeyPath full = SplitKeyName("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  EXPECT_EQ(full.root, kHkeyLocalMachine);
  EXPECT_EQ(full.subPath, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion");
  EXPECT_EQ(RootKeyFromName("HKEY_DYN_DATA"), kHkeyDynData);
  EXPECT_EQ(RootKeyFromName("HKEY_CLASSES_ROOT"), kHkeyClassesRoot);
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(ModReg, RefusesMalformedNamesWithTheIncorrectFormatMessage) {
  for (std::string name : {"HKEY_CURRENT_USER\\", "Software\\Microsoft", "hkey_current_user\\Software", ""}) {
    messages_.shown.clear();
    EXPECT_EQ(SplitKeyName(name).root, 0u) << name;
    ASSERT_EQ(messages_.shown.size(), 1u) << name;
    EXPECT_EQ(messages_.shown[0].text, "Incorrect Format:\n\n" + name);
    EXPECT_EQ(messages_.shown[0].title, "Quarnel Backup");
    EXPECT_EQ(messages_.shown[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(messages_.shown[0].icon, MessageIcon::None);
  }
}

TEST_P(ModReg, AnUnknownRootFailsSilentlyAndEveryOperationReturnsItsFailureValue) {
  SetText("", "Name", "value");
  const std::string wrongCase = "HKEY_Current_User\\" + basePath();
  EXPECT_EQ(SplitKeyName(wrongCase).root, 0u);
  EXPECT_EQ(RootKeyFromName("HKEY_Current_User"), 0u);
  EXPECT_FALSE(KeyExists(wrongCase));
  EXPECT_NE(CreateKey(wrongCase + "\\New"), 0);
  DeleteKeyTree(wrongCase);
  EXPECT_EQ(ReadStringValue(wrongCase, "Name"), "Error");
  std::string text = "untouched";
  EXPECT_FALSE(ReadDefaultValue(wrongCase, &text));
  EXPECT_EQ(text, "untouched");
  EXPECT_TRUE(EnumSubKeys(wrongCase).empty());
  EXPECT_TRUE(EnumValues(wrongCase).empty());
  EXPECT_TRUE(messages_.shown.empty());
  EXPECT_TRUE(GetValue("", "Name").has_value());
  EXPECT_FALSE(HasKey("New"));
  // A refused name reads as empty text rather than "Error".
  EXPECT_EQ(ReadStringValue(BaseName() + "\\", "Name"), "");
}

TEST_P(ModReg, CreatesTestsAndDeletesKeys) {
  EXPECT_FALSE(KeyExists(BaseName("A")));
  EXPECT_EQ(CreateKey(BaseName("A\\B")), 0);
  EXPECT_TRUE(KeyExists(BaseName("a\\b")));
  DeleteKey(BaseName("A"));  // still has a sub-key: stays
  EXPECT_TRUE(KeyExists(BaseName("A")));
  DeleteKey(BaseName("A\\B"));
  EXPECT_FALSE(KeyExists(BaseName("A\\B")));
  EXPECT_TRUE(KeyExists(BaseName("A")));
}

TEST_P(ModReg, DeletesAKeyDirectlyBelowARoot) {
  const std::string top = "QuarnelTestsTop_" + GetParam().name;
  DeleteTree(top);
  ASSERT_EQ(CreateKey("HKEY_CURRENT_USER\\" + top), 0);
  EXPECT_TRUE(KeyExists("HKEY_CURRENT_USER\\" + top));
  DeleteKey("HKEY_CURRENT_USER\\" + top);
  EXPECT_FALSE(KeyExists("HKEY_CURRENT_USER\\" + top));
}

TEST_P(ModReg, DeleteKeyTreeRemovesNestedKeysAndIgnoresMissingOnes) {
  for (const char* key : {"Tree\\A\\A1\\A11", "Tree\\A\\A2", "Tree\\B", "Tree\\C\\C1"}) MakeKey(key);
  SetText("Tree\\A\\A1", "v", "x");
  MakeKey("Sibling");
  DeleteKeyTree(BaseName("Tree"));
  EXPECT_FALSE(HasKey("Tree"));
  EXPECT_TRUE(HasKey("Sibling"));
  DeleteKeyTree(BaseName("Tree"));
  DeleteKeyTree(BaseName("Never\\There"));
  EXPECT_TRUE(HasKey("Sibling"));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_P(ModReg, ReadStringValueFitsAtMost254BytesAndDropsLeadingBlanksOnly) {
  SetText("", "Fits", std::string(254, 'a'));
  SetText("", "TooLong", std::string(255, 'b'));
  SetText("", "Blanks", "  padded text  ");
  SetDword("", "Number", 0x00636261);  // read as bytes, like any type: "abc" and the zero
  EXPECT_EQ(ReadStringValue(BaseName(), "Fits"), std::string(254, 'a'));
  EXPECT_EQ(ReadStringValue(BaseName(), "TooLong"), "Error");
  EXPECT_EQ(ReadStringValue(BaseName(), "Missing"), "Error");
  EXPECT_EQ(ReadStringValue(BaseName("NoSuchKey"), "Fits"), "Error");
  EXPECT_EQ(ReadStringValue(BaseName(), "blanks"), "padded text  ");
  EXPECT_EQ(ReadStringValue(BaseName(), "Number"), "abc");
}

TEST_P(ModReg, ReadDefaultValueGivesTheUnnamedValue) {
  SetText("WithDefault", "", "C:\\Program Files\\Outlook Express\\msimn.exe");
  SetText("WithDefault", "Other", "not this");
  MakeKey("NoDefault");
  std::string text = "before";
  EXPECT_TRUE(ReadDefaultValue(BaseName("WithDefault"), &text));
  EXPECT_EQ(text, "C:\\Program Files\\Outlook Express\\msimn.exe");
  EXPECT_TRUE(ReadDefaultValue(BaseName("NoDefault"), &text));
  EXPECT_EQ(text, "");
  text = "before";
  EXPECT_FALSE(ReadDefaultValue(BaseName("Missing"), &text));
  EXPECT_EQ(text, "before");
}

TEST_P(ModReg, EnumSubKeysListsInRegistryOrderAndIsEmptyForLeafOrMissingKeys) {
  for (const char* key : {"List\\gamma", "List\\Alpha", "List\\beta\\deeper"}) MakeKey(key);
  EXPECT_EQ(EnumSubKeys(BaseName("List")), (std::vector<std::string>{"Alpha", "beta", "gamma"}));
  EXPECT_TRUE(EnumSubKeys(BaseName("List\\gamma")).empty());
  EXPECT_TRUE(EnumSubKeys(BaseName("Missing")).empty());
}

TEST_P(ModReg, EnumValuesReadsTextNumbersAndLongValuesAndFindsNamesInAnyCase) {
  SetText("", "Store Root", "%UserProfile%\\Mail");
  SetValue("", "Expand", kRegExpandSz, std::string("%WinDir%\0", 9));
  SetText("", "Long", std::string(10000, 'L'));
  SetDword("", "Count", 0xFFFFFFFF);
  SetValue("", "Empty", kRegSz, "");
  RegistryValues values = EnumValues(BaseName());
  ASSERT_EQ(values.size(), 5u);
  ASSERT_TRUE(values.Contains("STORE ROOT"));
  EXPECT_EQ(values.Find("store root")->name, "Store Root");
  EXPECT_EQ(values.Find("Store Root")->Text(), "%UserProfile%\\Mail");
  EXPECT_EQ(values.Find("Expand")->Text(), "%WinDir%");
  EXPECT_EQ(values.Find("Long")->Text(), std::string(10000, 'L'));
  EXPECT_EQ(values.Find("Count")->Number(), -1);
  EXPECT_EQ(values.Find("Empty")->Text(), "");
  EXPECT_EQ(values.Find("Missing"), nullptr);
  EXPECT_TRUE(EnumValues(BaseName("Missing")).empty());
}

TEST_P(ModReg, EnumValuesGoesOnPastAValueWhoseNameDoesNotFitTheFirstBuffer) {
  const std::string longName(300, 'n');
  SetText("", "a", "first");
  SetText("", longName, "long");
  SetText("", "z", "last");
  RegistryValues values = EnumValues(BaseName());
  EXPECT_EQ(values.size(), 3u);
  ASSERT_TRUE(values.Contains(longName));
  EXPECT_EQ(values.Find(longName)->Text(), "long");
  EXPECT_TRUE(values.Contains("z"));
}

INSTANTIATE_TEST_SUITE_P(Registries, ModReg, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
