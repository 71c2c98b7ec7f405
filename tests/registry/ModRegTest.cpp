// modReg: the registry by full key name, and the registry function set under it, over each
// registry of the build: the in-memory twin is held to what advapi32 does under Wine.
#include <string>
#include <tuple>
#include <vector>

#include "RegistryFixture.h"
#include "registry/ModReg.h"

namespace quarnel::testing {
namespace {

using namespace platform;
using namespace registry;

using ModReg = RegistryTest;

// A malformed name is refused with the message; a well-formed one under an unknown root is
// refused silently, and every operation under it returns its failure value.
TEST_P(ModReg, KeyNamesAreSplitAndUnderARefusedNameEveryOperationFails) {
  const struct {
    std::string name;
    RegKey root;
    std::string subPath;
  } names[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft", kHkeyLocalMachine, "SOFTWARE\\Microsoft"},
      {"HKEY_CURRENT_USER", kHkeyCurrentUser, ""},
      {"HKEY_CLASSES_ROOT\\.soe", kHkeyClassesRoot, ".soe"},
      {"HKEY_Current_User\\Software", 0, ""},
  };
  for (const auto& n : names) {
    const KeyPath path = SplitKeyName(n.name);
    EXPECT_EQ(std::make_tuple(path.root, path.subPath, path.refused), std::make_tuple(n.root, n.subPath, false))
        << n.name;
  }
  EXPECT_TRUE(messages_.shown.empty());
  for (std::string name : {"HKEY_CURRENT_USER\\", "Software\\Microsoft", "hkey_current_user\\Software", ""}) {
    EXPECT_TRUE(SplitKeyName(name).refused) << name;
    ASSERT_EQ(messages_.shown.size(), 1u) << name;
    EXPECT_EQ(messages_.shown[0].text, "Incorrect Format:\n\n" + name);
    EXPECT_EQ(messages_.shown[0].title, "Quarnel Backup");
    messages_.shown.clear();
  }

  SetText("", "Name", "value");
  const std::string wrongCase = "HKEY_Current_User\\" + basePath();
  EXPECT_FALSE(KeyExists(wrongCase));
  EXPECT_NE(CreateKey(wrongCase + "\\New"), 0);
  DeleteKeyTree(wrongCase);
  EXPECT_EQ(ReadStringValue(wrongCase, "Name"), "Error");
  std::string text = "untouched";
  EXPECT_FALSE(ReadDefaultValue(wrongCase, &text));
  EXPECT_EQ(text, "untouched");
  EXPECT_TRUE(EnumSubKeys(wrongCase).empty() && EnumValues(wrongCase).empty());
  EXPECT_EQ(Dump(), "[]\nName type 1: 118 97 108 117 101 0\n");
  EXPECT_EQ(ReadStringValue(BaseName() + "\\", "Name"), "");  // a refused name reads as empty text
}

TEST_P(ModReg, KeysAreCreatedTestedAndDeletedAloneOrWithTheirTree) {
  EXPECT_EQ(CreateKey(BaseName("A\\B")), 0);
  SetText("A\\B", "Kept", "yes");
  EXPECT_EQ(CreateKey(BaseName("a\\b")), 0);
  EXPECT_TRUE(GetValue("A\\B", "Kept").has_value()) << "creating an existing key must not empty it";
  EXPECT_TRUE(KeyExists(BaseName("a\\B")));
  EXPECT_FALSE(KeyExists(BaseName("A\\Missing")) || KeyExists(BaseName("Nowhere\\B")));
  DeleteKey(BaseName("A"));  // still has a sub-key: stays
  DeleteKey(BaseName("a\\B"));
  EXPECT_EQ(Dump(), "[]\n[\\A]\n");

  for (const char* key : {"Tree\\A\\A1\\A11", "Tree\\A\\A2", "Tree\\B", "Sibling"}) MakeKey(key);
  SetText("Tree\\A\\A1", "v", "x");
  DeleteKeyTree(BaseName("Tree"));
  DeleteKeyTree(BaseName("Never\\There"));
  EXPECT_EQ(Dump(), "[]\n[\\A]\n[\\Sibling]\n");
  EXPECT_TRUE(messages_.shown.empty());

  // A handle to a key deleted meanwhile fails, and writing through it does not bring the key back.
  RegKey doomed = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, (basePath() + "\\Doomed").c_str(), &doomed), 0);
  DeleteKey(BaseName("Doomed"));
  const std::uint8_t byte = 1;
  EXPECT_EQ(reg().SetValueEx(doomed, "v", kRegBinary, &byte, 1), 1018);  // ERROR_KEY_DELETED
  char name[260];
  std::uint32_t length = sizeof name;
  EXPECT_EQ(reg().EnumKeyEx(doomed, 0, name, &length), 1018);
  EXPECT_EQ(Dump("Doomed"), "");
  EXPECT_EQ(reg().CloseKey(doomed), 0);
}

TEST_P(ModReg, ReadStringValueFitsAtMost254BytesAndDropsLeadingBlanksOnly) {
  SetText("", "Fits", std::string(254, 'a'));
  SetText("", "TooLong", std::string(255, 'b'));
  SetText("", "Blanks", "  padded text  ");
  SetDword("", "Number", 0x00636261);  // read as bytes, like any type: "abc" and the zero
  const struct {
    std::string key, value, text;
  } reads[] = {
      {"", "Fits", std::string(254, 'a')},
      {"", "TooLong", "Error"},
      {"", "Missing", "Error"},
      {"NoSuchKey", "Fits", "Error"},
      {"", "blanks", "padded text  "},
      {"", "Number", "abc"},
  };
  for (const auto& r : reads) EXPECT_EQ(ReadStringValue(BaseName(r.key), r.value), r.text) << r.value;

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

TEST_P(ModReg, SubKeysAndValuesAreListedSortedAndFoundByNameInAnyCase) {
  for (const char* key :
       {"List\\gamma", "List\\Alpha", "List\\beta\\deeper", "List\\Delta2", "List\\delta10", "List\\ALPHA"}) {
    MakeKey(key);
  }
  EXPECT_EQ(EnumSubKeys(BaseName("List")),
            (std::vector<std::string>{"Alpha", "beta", "delta10", "Delta2", "gamma"}));  // "ALPHA" is "Alpha"
  EXPECT_TRUE(EnumSubKeys(BaseName("List\\gamma")).empty() && EnumSubKeys(BaseName("Missing")).empty());

  const std::string longName(300, 'n');  // past the first name buffer
  SetText("", "Store Root", "C:\\old");
  SetText("", "STORE ROOT", "%UserProfile%\\Mail");  // the same value: its first name stays
  SetValue("", "Expand", kRegExpandSz, std::string("%WinDir%\0", 9));
  SetText("", "Long", std::string(10000, 'L'));  // past the first data buffer
  SetDword("", "Count", 0xFFFFFFFF);
  SetValue("", "Empty", kRegSz, "");
  SetText("", longName, "long");
  const RegistryValues values = EnumValues(BaseName());
  ASSERT_EQ(values.size(), 6u);
  EXPECT_EQ(values.Find("store root")->name, "Store Root");
  EXPECT_EQ(values.Find("store root")->Text(), "%UserProfile%\\Mail");
  EXPECT_EQ(values.Find("Expand")->Text(), "%WinDir%");
  EXPECT_EQ(values.Find("LONG")->Text(), std::string(10000, 'L'));
  EXPECT_EQ(values.Find("Count")->Number(), -1);
  EXPECT_EQ(values.Find("Empty")->Text(), "");
  EXPECT_EQ(values.Find(longName)->Text(), "long");
  EXPECT_FALSE(values.Contains("Missing"));
  EXPECT_TRUE(EnumValues(BaseName("Missing")).empty());
}

// What the code relies on from a handle, held against advapi32 under Wine: a buffer too small
// says so and gives the size, lists end with their own code, and values are deleted by name in
// any case.
TEST_P(ModReg, TheFunctionSetsBuffersListEndsAndDeletions) {
  SetValue("K", "Blob", kRegBinary, std::string(5, '\x7F'));
  MakeKey("K\\Alpha");
  RegKey key = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, (basePath() + "\\k").c_str(), &key), 0);
  char name[260];
  std::uint32_t length = sizeof name, type = 0, size = 4;  // too small for the five bytes
  EXPECT_EQ(reg().EnumKeyEx(key, 1, name, &length), kErrorNoMoreItems);
  std::uint8_t data[8];
  EXPECT_EQ(reg().QueryValueEx(key, "blob", &type, data, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  length = sizeof name;
  EXPECT_EQ(reg().EnumValue(key, 1, name, &length, &type, data, &size), kErrorNoMoreItems);
  EXPECT_EQ(reg().DeleteValue(key, "BLOB"), 0);
  EXPECT_EQ(reg().DeleteValue(key, "blob"), kErrorFileNotFound);
  EXPECT_EQ(reg().CloseKey(key), 0);
}

INSTANTIATE_TEST_SUITE_P(Registries, ModReg, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
