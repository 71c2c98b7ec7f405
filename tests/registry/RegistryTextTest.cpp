#include <optional>
#include <string>
#include <vector>

#include "RegistryFixture.h"
#include "platform/portable/MemoryRegistry.h"
#include "registry/ModReg.h"
#include "registry/RegistryText.h"
#include "support/TempFolder.h"

namespace quarnel::testing {
namespace {

using namespace platform;
using namespace registry;

class RegistryText : public RegistryTest {
 protected:
  std::string Export(const std::string& below) {
    ExportKeyTree(BaseName(below), file_);
    return ReadFileBytes(file_);
  }
  void Import(const std::string& below, const std::string& text) {
    ASSERT_TRUE(WriteFileBytes(file_, text));
    ImportKeyFile(BaseName(below), file_);
  }
  // A target with a value and a sub-key of its own, for imports to replace or leave alone.
  void MakeTarget() {
    SetText("Target", "Old", "old value");
    SetDword("Target\\OldSub", "Kept", 7);
  }

  TempFolder folder_;
  std::string file_ = folder_.File("export.txt");
};

TEST_P(RegistryText, ExportWritesHeadersValuesAndSubKeysDepthFirst) {
  SetText("Src", "", "");
  SetText("Src", "Name", "Main account");
  SetDword("Src\\Sub", "Count", 0xFFFFFFFF);
  SetValue("Src\\Sub", "Data", kRegBinary, std::string("\x01\x00\xFF\x10", 4));
  SetValue("Src\\Sub\\Deeper", "Path", kRegExpandSz, std::string("%UserProfile%\\x\0", 16));
  SetValue("Src\\Sub\\Deeper", "Zero", kRegBinary, "");
  MakeKey("Src\\Sub2");
  EXPECT_EQ(Export("Src"),
            "\\\r\n"
            "\"\"= sz:\r\n"
            "\"Name\"= sz:Main account\r\n"
            "\\Sub\r\n"
            "\"Count\"= dw:-1\r\n"
            "\"Data\"=bin:1,0,255,16\r\n"
            "\\Sub\\Deeper\r\n"
            "\"Path\"=esz:%UserProfile%\\x\r\n"
            "\"Zero\"=bin:\r\n"
            "\\Sub2\r\n");
}

TEST_P(RegistryText, ExportLeavesOutOtherTypesAndReplacesAnOldFile) {
  ASSERT_TRUE(WriteFileBytes(file_, "stale content that must go\r\n"));
  SetValue("Src", "List", kRegMultiSz, std::string("a\0b\0\0", 5));
  SetValue("Src", "None", kRegNone, "x");
  SetText("Src", "Text", "kept  ");
  EXPECT_EQ(Export("Src"), "\\\r\n\"Text\"= sz:kept  \r\n");
}

TEST_P(RegistryText, ExportOfAKeyWithoutContentsOrOfAMissingKeyIsTheLoneHeader) {
  MakeKey("Empty");
  EXPECT_EQ(Export("Empty"), "\\\r\n");
  EXPECT_EQ(Export("Missing"), "\\\r\n");
}

TEST_P(RegistryText, ExportKeyValuesAppendsOneKeysValues) {
  ASSERT_TRUE(WriteFileBytes(file_, "\\\r\n"));
  SetText("Src", "A", "1");
  MakeKey("Src\\Sub");
  SetText("Src\\Sub", "B", "2");
  ExportKeyValues(BaseName("Src"), file_);
  ExportKeyValues(BaseName("Missing"), file_);
  EXPECT_EQ(ReadFileBytes(file_), "\\\r\n\"A\"= sz:1\r\n");
}

TEST_P(RegistryText, ExportThenImportElsewhereReproducesTheTree) {
  SetText("Src", "", "default");
  SetText("Src", "Account Name", "  spaced  ");
  SetText("Src", "With \"quotes\"", "q");
  SetText("Src", "Unix lines", "one\ntwo");
  SetValue("Src", "Big", kRegBinary, std::string(6000, '\xAB'));
  SetDword("Src\\Sub", "Max", 0xFFFFFFFF);
  SetDword("Src\\Sub", "Min", 0x80000000);
  SetValue("Src\\Sub\\Leaf", "Expand", kRegExpandSz, std::string("%WinDir%\0", 9));
  SetValue("Src\\Sub\\Leaf", "Empty", kRegBinary, "");
  const std::string exported = Export("Src");
  MakeTarget();
  ImportKeyFile(BaseName("Target"), file_);
  EXPECT_EQ(Dump("Target"), Dump("Src"));
  EXPECT_EQ(Export("Target"), exported);
}

TEST_P(RegistryText, ImportWithTheLoneHeaderEmptiesTheTargetAndDropsMultiStrings) {
  MakeTarget();
  SetValue("Target", "List", kRegMultiSz, std::string("a\0b\0\0", 5));
  Import("Target", "\\\r\n");
  EXPECT_TRUE(HasKey("Target"));
  EXPECT_EQ(Dump("Target"), "[]\n");
}

TEST_P(RegistryText, ImportWithoutTheLoneHeaderOnlyAddsAndOverwrites) {
  MakeTarget();
  Import("Target", "\\OldSub\r\n\"Kept\"= dw:8\r\n\\New\r\n\"Added\"= sz:yes\r\n");
  EXPECT_EQ(GetValue("Target", "Old")->second, std::string("old value\0", 10));
  EXPECT_EQ(GetValue("Target\\OldSub", "Kept")->second, std::string("\x08\0\0\0", 4));
  EXPECT_EQ(GetValue("Target\\New", "Added")->second, std::string("yes\0", 4));
}

TEST_P(RegistryText, ImportDecodesEachTagAndIgnoresUnknownOnes) {
  Import("Target",
         "\\\r\n"
         "\"Neg\"= dw:-1\r\n"
         "\"Spaced\"=bin: 1, 2 ,3\r\n"
         "\"Empty\"=bin:\r\n"
         "\"Exp\"=esz:%Temp%\r\n"
         "\"Other\"=qwd:5\r\n"
         "\"a=b\"= sz:split at the first equals sign\r\n");
  EXPECT_EQ(GetValue("Target", "Neg"), std::make_pair(kRegDword, std::string("\xFF\xFF\xFF\xFF", 4)));
  EXPECT_EQ(GetValue("Target", "Spaced"), std::make_pair(kRegBinary, std::string("\x01\x02\x03", 3)));
  EXPECT_EQ(GetValue("Target", "Empty"), std::make_pair(kRegBinary, std::string()));
  EXPECT_EQ(GetValue("Target", "Exp"), std::make_pair(kRegExpandSz, std::string("%Temp%\0", 7)));
  EXPECT_FALSE(GetValue("Target", "Other").has_value());
  EXPECT_FALSE(GetValue("Target", "a").has_value());
  EXPECT_FALSE(GetValue("Target", "").has_value());
}

TEST_P(RegistryText, ImportStopsAtTheFirstEmptyLine) {
  Import("Target", "\\\r\n\"A\"= sz:1\r\n\r\n\"B\"= sz:2\r\nnot even a value line\r\n");
  EXPECT_TRUE(GetValue("Target", "A").has_value());
  EXPECT_FALSE(GetValue("Target", "B").has_value());
}

TEST_P(RegistryText, ATextWithALineBreakIsCutThereOnImport) {
  SetText("Src", "Note", "first\r\n\r\nafter an empty line");
  SetText("Src", "Zulu", "never reached");
  Export("Src");
  MakeTarget();
  ImportKeyFile(BaseName("Target"), file_);
  EXPECT_EQ(GetValue("Target", "Note")->second, std::string("first\0", 6));
  EXPECT_FALSE(GetValue("Target", "Zulu").has_value());
  EXPECT_FALSE(HasKey("Target\\OldSub"));
}

TEST_P(RegistryText, AValueLineBeforeAnyHeaderChangesNothing) {
  MakeTarget();
  const std::string before = Dump("Target");
  Import("Target", "\"Loose\"= sz:x\r\n");
  EXPECT_EQ(Dump("Target"), before);
}

TEST_P(RegistryText, AMalformedFileRaisesAndLeavesTheTargetExactlyAsItWas) {
  const std::vector<std::string> malformed = {
      "\\\r\nno equals sign\r\n",
      "\\\r\n=\"A\"= sz:x\r\n",
      "\\\r\nA=\"\"= sz:x\r\n",
      "\\\r\n\"D\"= dw:2147483648\r\n",
      "\\\r\n\"D\"= dw:-2147483649\r\n",
      "\\\r\n\"D\"= dw:12abc\r\n",
      "\\\r\n\"D\"= dw:\r\n",
      "\\\r\n\"B\"=bin:1,256\r\n",
      "\\\r\n\"B\"=bin:1,,2\r\n",
      "\\\r\n\"B\"=bin:-1\r\n",
      "\\\r\n\"A\"= sz:fine\r\n\\Sub\r\n\"Note\"= sz:cut\r\nhere\r\n",
      "\\Sub\r\n\\Sub\r\n",  // a header naming the current key again is a value line
      "\\\r\n\"A\"= sz:one\rtwo\r\n",  // a lone CR ends a line too
  };
  MakeTarget();
  const std::string before = Dump("Target");
  for (const std::string& text : malformed) {
    ASSERT_TRUE(WriteFileBytes(file_, text));
    EXPECT_THROW(ImportKeyFile(BaseName("Target"), file_), RegistryError) << text;
    EXPECT_EQ(Dump("Target"), before) << text;
  }
  EXPECT_FALSE(HasKey("Target\\Sub"));
}

TEST_P(RegistryText, TheExtremeNumbersAreWellFormed) {
  Import("Target", "\\\r\n\"Low\"= dw:-2147483648\r\n\"High\"= dw:2147483647\r\n\"B\"=bin:0,255\r\n");
  EXPECT_EQ(GetValue("Target", "Low")->second, std::string("\0\0\0\x80", 4));
  EXPECT_EQ(GetValue("Target", "High")->second, std::string("\xFF\xFF\xFF\x7F", 4));
  EXPECT_EQ(GetValue("Target", "B")->second, std::string("\x00\xFF", 2));
}

TEST_P(RegistryText, AMissingFileRaisesAndChangesNothing) {
  MakeTarget();
  const std::string before = Dump("Target");
  EXPECT_THROW(ImportKeyFile(BaseName("Target"), folder_.File("missing.txt")), RegistryError);
  EXPECT_EQ(Dump("Target"), before);
}

TEST_P(RegistryText, ARefusedTargetNameShowsOneMessageAndWritesNothing) {
  ASSERT_TRUE(WriteFileBytes(file_, "\\\r\n\"A\"= sz:1\r\n\\Sub\r\n\"B\"= sz:2\r\n"));
  ImportKeyFile(BaseName("Target") + "\\", file_);
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_FALSE(HasKey("Target"));
}

// Only ever against the in-memory registry: a regression here would empty a whole hive.
TEST(RegistryTextGuard, ImportOverARootAloneIsRefusedBeforeAnythingChanges) {
  MemoryRegistry memory;
  ScopedServices scope({.registry = &memory});
  RegKey key = 0;
  ASSERT_EQ(memory.CreateKey(kHkeyCurrentUser, "Identities\\{A}", &key), 0);
  memory.CloseKey(key);
  TempFolder folder;
  ASSERT_TRUE(WriteFileBytes(folder.File("x.txt"), "\\\r\n\"A\"= sz:1\r\n"));
  EXPECT_THROW(ImportKeyFile("HKEY_CURRENT_USER", folder.File("x.txt")), RegistryError);
  EXPECT_TRUE(KeyExists("HKEY_CURRENT_USER\\Identities\\{A}"));
}

// A registry whose listing of sub-keys or values fails with another code than the end.
class FailingListRegistry : public MemoryRegistry {
 public:
  long EnumKeyEx(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength) override {
    if (failKeysAt && index == *failKeysAt) return kErrorAccessDenied;
    return MemoryRegistry::EnumKeyEx(key, index, name, nameLength);
  }
  long EnumValue(RegKey key, std::uint32_t index, char* name, std::uint32_t* nameLength, std::uint32_t* type,
                 std::uint8_t* data, std::uint32_t* dataSize) override {
    if (failValuesAt && index == *failValuesAt) return kErrorInvalidHandle;
    return MemoryRegistry::EnumValue(key, index, name, nameLength, type, data, dataSize);
  }
  std::optional<std::uint32_t> failKeysAt, failValuesAt;
};

TEST(RegistryTextListing, AListingThatFailsPartWayRaisesInsteadOfGivingAShortenedExport) {
  FailingListRegistry memory;
  ScopedServices scope({.registry = &memory});
  for (const char* sub : {"Src\\A", "Src\\B"}) {
    RegKey key = 0;
    ASSERT_EQ(memory.CreateKey(kHkeyCurrentUser, sub, &key), 0);
    memory.SetValueEx(key, "V1", kRegSz, reinterpret_cast<const std::uint8_t*>("1"), 2);
    memory.SetValueEx(key, "V2", kRegSz, reinterpret_cast<const std::uint8_t*>("2"), 2);
    memory.CloseKey(key);
  }
  TempFolder folder;
  const std::string file = folder.File("export.txt");
  ExportKeyTree("HKEY_CURRENT_USER\\Src", file);
  EXPECT_EQ(ReadFileBytes(file), "\\\r\n\\A\r\n\"V1\"= sz:1\r\n\"V2\"= sz:2\r\n\\B\r\n\"V1\"= sz:1\r\n\"V2\"= sz:2\r\n");
  memory.failKeysAt = 1;
  EXPECT_THROW(ExportKeyTree("HKEY_CURRENT_USER\\Src", file), RegistryError);
  memory.failKeysAt.reset();
  memory.failValuesAt = 1;
  EXPECT_THROW(ExportKeyTree("HKEY_CURRENT_USER\\Src", file), RegistryError);
  EXPECT_THROW(ExportKeyValues("HKEY_CURRENT_USER\\Src\\A", file), RegistryError);
  EXPECT_EQ(memory.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryText, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
