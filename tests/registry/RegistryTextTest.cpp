#include <algorithm>
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

// Each key's header, then its values (in the order of their names, as advapi32 lists them),
// then its sub-keys depth first. What the four classic lines cannot give back exactly goes on
// "raw" lines, whose tag a reader that knows only the four skips.
TEST_P(RegistryText, ExportWritesClassicLinesWhereTheyAreExactAndRawLinesThatOlderReadersSkip) {
  ASSERT_TRUE(WriteFileBytes(file_, "stale content that must go\r\n"));
  SetText("Src", "", "");
  SetValue("Src", "Big", 11, std::string("\x01\0\0\0\0\0\0\x80", 8));
  SetValue("Src", "List", kRegMultiSz, std::string("a\0b\0\0", 5));
  SetText("Src", "Name", "Main account");
  SetValue("Src", "None", kRegNone, "");
  SetText("Src", "Sig", "Hi\r\n\r\nAnna");
  SetText("Src", "Sort=Date", "x");
  SetText("Src", "Text", "kept  ");
  SetDword("Src\\Sub", "Count", 0xFFFFFFFF);
  SetValue("Src\\Sub", "Data", kRegBinary, std::string("\x01\x00\xFF\x10", 4));
  SetValue("Src\\Sub\\Deeper", "Path", kRegExpandSz, std::string("%UserProfile%\\x\0", 16));
  SetValue("Src\\Sub\\Deeper", "Zero", kRegBinary, "");
  MakeKey("Src\\Sub2");
  const std::string exported = Export("Src");
  EXPECT_EQ(exported,
            "\\\r\n"
            "\"\"= sz:\r\n"
            "\"Big\"=raw:11:1,0,0,0,0,0,0,128\r\n"
            "\"List\"=raw:7:97,0,98,0,0\r\n"
            "\"Name\"= sz:Main account\r\n"
            "\"None\"=raw:0:\r\n"
            "\"Sig\"=raw:1:72,105,13,10,13,10,65,110,110,97,0\r\n"
            "\"\"=raw:1:120,0:83,111,114,116,61,68,97,116,101\r\n"
            "\"Text\"= sz:kept  \r\n"
            "\\Sub\r\n"
            "\"Count\"= dw:-1\r\n"
            "\"Data\"=bin:1,0,255,16\r\n"
            "\\Sub\\Deeper\r\n"
            "\"Path\"=esz:%UserProfile%\\x\r\n"
            "\"Zero\"=bin:\r\n"
            "\\Sub2\r\n");
}

TEST_P(RegistryText, AKeyWithoutContentsOrAMissingKeyIsTheLoneHeaderAndValuesAreAppendedAlone) {
  MakeKey("Empty");
  EXPECT_EQ(Export("Empty"), "\\\r\n");
  EXPECT_EQ(Export("Missing"), "\\\r\n");
  SetText("Src", "A", "1");
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
  SetText("Src", "Signature",
          "Regards,\r\n\r\n  Anna Berg  \r\n\"Berg & S\xF6hne\" = GmbH\r\n\\\\server\\logo.png\r\n");
  SetValue("Src", "Dictionaries", kRegMultiSz, std::string("en-GB\0de-DE\0\0", 13));
  SetValue("Src", "Last Sync", 11, std::string("\x10\x32\x54\x76\x98\xBA\xDC\xFE", 8));
  SetValue("Src", "Upgraded", kRegNone, "");
  SetDword("Src", "View=Compact\r\nLines", 2);
  SetValue("Src", "No zero", kRegSz, "as some programs store it");
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

TEST_P(RegistryText, OnlyAFileWithTheLoneHeaderReplacesTheTargetAndEachTagIsDecodedOrSkipped) {
  MakeTarget();
  Import("Target", "\"Loose\"= sz:x\r\n");  // a value line before any header changes nothing
  Import("Target", "\\OldSub\r\n\"Kept\"= dw:8\r\n\\New\r\n\"Added\"= sz:yes\r\n");
  EXPECT_EQ(Dump("Target"),
            "[]\nOld type 1: 111 108 100 32 118 97 108 117 101 0\n[\\New]\nAdded type 1: 121 101 115 0\n"
            "[\\OldSub]\nKept type 4: 8 0 0 0\n");
  // What the round trip above never writes: blanks in a "bin" list and the highest number; and
  // the lines that are skipped: a tag of no type, and a first "=" inside the name.
  Import("Target",
         "\\\r\n\"Spaced\"=bin: 1, 2 ,3\r\n\"Other\"=qwd:5\r\n\"a=b\"= sz:split at the first equals sign\r\n"
         "\"High\"= dw:2147483647\r\n\"B\"=bin:0,255\r\n");
  EXPECT_EQ(GetValue("Target", "Spaced"), std::make_pair(kRegBinary, std::string("\x01\x02\x03", 3)));
  EXPECT_EQ(GetValue("Target", "High"), std::make_pair(kRegDword, std::string("\xFF\xFF\xFF\x7F", 4)));
  EXPECT_EQ(GetValue("Target", "B"), std::make_pair(kRegBinary, std::string("\x00\xFF", 2)));
  const std::string tree = Dump("Target");  // the key and these three values alone
  EXPECT_EQ(std::count(tree.begin(), tree.end(), '\n'), 4) << tree;
  Import("Target", "\\\r\n");
  EXPECT_EQ(Dump("Target"), "[]\n");
}

// Older files wrote a text's line breaks as they were: its lines below a text value belong
// to it, blank ones included (the writer never wrote an empty line of its own); anywhere
// else an empty line still ends the reading.
TEST_P(RegistryText, AnOlderFilesSplitSignatureComesBackWholeAndAnEmptyLineElsewhereEndsIt) {
  MakeTarget();
  Import("Target",
         "\\\r\n"
         "\"Default Signature\"= sz:00000000\r\n"
         "\\00000000\r\n"
         "\"name\"= sz:Signature #1\r\n"
         "\"text\"= sz:Regards,\r\n\r\n  Anna Berg  \r\nBerg & S\xF6hne GmbH\r\n\\\\server\\logo.png\r\n\r\n"
         "\"type\"= dw:1\r\n"
         "\\00000001\r\n"
         "\"text\"=esz:Gr\xFC\xDF"
         "e\r\n\\00000001\r\n%UserName%\r\n\r\n");
  EXPECT_EQ(GetValue("Target", "Default Signature")->second, std::string("00000000\0", 9));
  const std::string signature = "Regards,\r\n\r\n  Anna Berg  \r\nBerg & S\xF6hne GmbH\r\n\\\\server\\logo.png\r\n";
  EXPECT_EQ(GetValue("Target\\00000000", "text"), std::make_pair(kRegSz, signature + '\0'));
  EXPECT_EQ(GetValue("Target\\00000000", "type")->second, std::string("\x01\0\0\0", 4));
  const std::string expandable = "Gr\xFC\xDF\x65\r\n\\00000001\r\n%UserName%\r\n";
  EXPECT_EQ(GetValue("Target\\00000001", "text"), std::make_pair(kRegExpandSz, expandable + '\0'));
  EXPECT_FALSE(HasKey("Target\\OldSub"));

  Import("Target", "\\\r\n\"A\"= dw:1\r\n\r\n\"B\"= sz:2\r\nnot even a value line\r\n");
  EXPECT_TRUE(GetValue("Target", "A").has_value());
  EXPECT_FALSE(GetValue("Target", "B").has_value());
}

TEST_P(RegistryText, AMalformedOrMissingFileOrARefusedTargetLeavesTheTargetExactlyAsItWas) {
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
      "\\\r\n\"A\"= sz:fine\r\n\\Sub\r\n\"D\"= dw:1\r\ngoes on only below a text\r\n",
      "\\\r\n\"A\"=raw:1:65,0\r\ngoes on only below a text\r\n",
      "\\Sub\r\n\\Sub\r\n",           // a header naming the current key again is a value line
      "\\\r\n\\\\server\\share\r\n",  // no key has an empty name
      "\\\r\n\"R\"=raw:\r\n",
      "\\\r\n\"R\"=raw:7\r\n",
      "\\\r\n\"R\"=raw:4294967296:\r\n",
      "\\\r\n\"R\"=raw:7:1,256\r\n",
      "\\\r\n\"\"=raw:7:1:97,x\r\n",
  };
  MakeTarget();
  const std::string before = Dump("Target");
  for (const std::string& text : malformed) {
    ASSERT_TRUE(WriteFileBytes(file_, text));
    EXPECT_THROW(ImportKeyFile(BaseName("Target"), file_), RegistryError) << text;
    EXPECT_EQ(Dump("Target"), before) << text;
  }
  EXPECT_THROW(ImportKeyFile(BaseName("Target"), folder_.File("missing.txt")), RegistryError);
  EXPECT_EQ(Dump("Target"), before);
  ASSERT_TRUE(WriteFileBytes(file_, "\\\r\n\"A\"= sz:1\r\n\\Sub\r\n\"B\"= sz:2\r\n"));
  ImportKeyFile(BaseName("Target") + "\\", file_);  // a refused name: one message, nothing written
  EXPECT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(Dump("Target"), before);
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
  long SetValueEx(RegKey key, const char* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override {
    if (refuseSetsAfter && (*refuseSetsAfter)-- == 0) return kErrorAccessDenied;
    return MemoryRegistry::SetValueEx(key, name, type, data, size);
  }
  std::optional<std::uint32_t> failKeysAt, failValuesAt;
  std::optional<int> refuseSetsAfter;  // values stored before the registry refuses one
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
  EXPECT_EQ(ReadFileBytes(file),
            "\\\r\n\\A\r\n\"V1\"= sz:1\r\n\"V2\"= sz:2\r\n\\B\r\n\"V1\"= sz:1\r\n\"V2\"= sz:2\r\n");
  memory.failKeysAt = 1;
  EXPECT_THROW(ExportKeyTree("HKEY_CURRENT_USER\\Src", file), RegistryError);
  memory.failKeysAt.reset();
  memory.failValuesAt = 1;
  EXPECT_THROW(ExportKeyTree("HKEY_CURRENT_USER\\Src", file), RegistryError);
  EXPECT_THROW(ExportKeyValues("HKEY_CURRENT_USER\\Src\\A", file), RegistryError);
  EXPECT_EQ(memory.OpenHandleCount(), 0u);
}

// The registry refuses a value half-way through an import: the target's tree, values of
// every type included, is put back as it was.
TEST(RegistryTextListing, AValueTheRegistryRefusesPutsTheTargetBackAsItWasOrRemovesWhatItAdded) {
  FailingListRegistry memory;
  ScopedServices scope({.registry = &memory});
  RegKey key = 0;
  ASSERT_EQ(memory.CreateKey(kHkeyCurrentUser, "Target\\Old", &key), 0);
  memory.SetValueEx(key, "Lines", kRegMultiSz, reinterpret_cast<const std::uint8_t*>("a\0b\0"), 5);
  memory.SetValueEx(key, "Sig", kRegSz, reinterpret_cast<const std::uint8_t*>("Hi\r\n\r\nAnna"), 11);
  memory.CloseKey(key);
  TempFolder folder;
  const std::string target = "HKEY_CURRENT_USER\\Target", before = folder.File("before.txt");
  ExportKeyTree(target, before);
  ASSERT_TRUE(WriteFileBytes(folder.File("x.txt"), "\\\r\n\"A\"= sz:1\r\n\\New\r\n\"B\"=raw:7:0,0\r\n\"C\"= dw:3\r\n"));
  memory.refuseSetsAfter = 2;
  EXPECT_THROW(ImportKeyFile(target, folder.File("x.txt")), RegistryError);
  memory.refuseSetsAfter.reset();
  ExportKeyTree(target, folder.File("after.txt"));
  EXPECT_EQ(ReadFileBytes(folder.File("after.txt")), ReadFileBytes(before));
  // Into a key that was not there (a new identity's), nothing of the file stays.
  memory.refuseSetsAfter = 2;
  EXPECT_THROW(ImportKeyFile(target + "\\New Identity", folder.File("x.txt")), RegistryError);
  EXPECT_FALSE(KeyExists(target + "\\New Identity"));
  EXPECT_EQ(memory.OpenHandleCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryText, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
