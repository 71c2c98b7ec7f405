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
// "raw" lines, whose tag a reader that knows only the four skips. Imported under another key
// (over a tree of its own) the export gives the same tree back.
TEST_P(RegistryText, ExportWritesClassicLinesWhereTheyAreExactAndTheImportReproducesTheTree) {
  ASSERT_TRUE(WriteFileBytes(file_, "stale content that must go\r\n"));
  SetText("Src", "", "");
  SetValue("Src", "Big", 11, std::string("\x01\0\0\0\0\0\0\x80", 8));
  SetValue("Src", "List", kRegMultiSz, std::string("a\0b\0\0", 5));
  SetText("Src", "Name", "  Main account  ");
  SetValue("Src", "None", kRegNone, "");
  SetText("Src", "Quote \"inside\"", "q");
  SetText("Src", "Sig", "Regards,\r\n\r\n  Anna  \r\n");
  SetText("Src", "Sort=Date", "x");
  SetText("Src", "Unix lines", "one\ntwo");
  SetDword("Src", "View\r\nLines", 2);
  SetValue("Src\\Sub", "Long", kRegBinary, std::string(6000, '\xAB'));  // past the first data buffer
  SetDword("Src\\Sub", "Max", 0xFFFFFFFF);
  SetDword("Src\\Sub", "Min", 0x80000000);
  SetValue("Src\\Sub\\Deeper", "Path", kRegExpandSz, std::string("%UserProfile%\\x\0", 16));
  SetValue("Src\\Sub\\Deeper", "Zero", kRegBinary, "");
  MakeKey("Src\\Sub2");
  const std::string exported = Export("Src");
  std::string longBytes = "171";
  for (int i = 1; i < 6000; ++i) longBytes += ",171";
  EXPECT_EQ(exported,
            "\\\r\n"
            "\"\"= sz:\r\n"
            "\"Big\"=raw:11:1,0,0,0,0,0,0,128\r\n"
            "\"List\"=raw:7:97,0,98,0,0\r\n"
            "\"Name\"= sz:  Main account  \r\n"
            "\"None\"=raw:0:\r\n"
            "\"Quote \"inside\"\"= sz:q\r\n"
            "\"Sig\"=raw:1:82,101,103,97,114,100,115,44,13,10,13,10,32,32,65,110,110,97,32,32,13,10,0\r\n"
            "\"\"=raw:1:120,0:83,111,114,116,61,68,97,116,101\r\n"
            "\"Unix lines\"=raw:1:111,110,101,10,116,119,111,0\r\n"
            "\"\"=raw:4:2,0,0,0:86,105,101,119,13,10,76,105,110,101,115\r\n"
            "\\Sub\r\n"
            "\"Long\"=bin:" +
                longBytes +
                "\r\n"
                "\"Max\"= dw:-1\r\n"
                "\"Min\"= dw:-2147483648\r\n"
                "\\Sub\\Deeper\r\n"
                "\"Path\"=esz:%UserProfile%\\x\r\n"
                "\"Zero\"=bin:\r\n"
                "\\Sub2\r\n");
  MakeTarget();
  ImportKeyFile(BaseName("Target"), file_);
  EXPECT_EQ(Dump("Target"), Dump("Src"));
  EXPECT_EQ(Export("Target"), exported);

  MakeKey("Empty");  // a key without contents or a missing key is the lone header
  EXPECT_EQ(Export("Empty"), "\\\r\n");
  EXPECT_EQ(Export("Missing"), "\\\r\n");
  ExportKeyValues(BaseName("Src\\Sub\\Deeper"), file_);  // values appended alone
  ExportKeyValues(BaseName("Missing"), file_);
  EXPECT_EQ(ReadFileBytes(file_), "\\\r\n\"Path\"=esz:%UserProfile%\\x\r\n\"Zero\"=bin:\r\n");
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
         "\\\r\n\"B\"=bin:0,255\r\n\"High\"= dw:2147483647\r\n\"Other\"=qwd:5\r\n"
         "\"a=b\"= sz:split at the first equals sign\r\n\"Spaced\"=bin: 1, 2 ,3\r\n");
  EXPECT_EQ(Dump("Target"), "[]\nB type 3: 0 255\nHigh type 4: 255 255 255 127\nSpaced type 3: 1 2 3\n");
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
         "\"text\"=esz:Gr\xFC\xDF\x65\r\n\\00000001\r\n%UserName%\r\n\r\n");
  EXPECT_EQ(GetValue("Target", "Default Signature")->second, std::string("00000000\0", 9));
  const std::string signature = "Regards,\r\n\r\n  Anna Berg  \r\nBerg & S\xF6hne GmbH\r\n\\\\server\\logo.png\r\n";
  EXPECT_EQ(GetValue("Target\\00000000", "text"), std::make_pair(kRegSz, signature + '\0'));
  EXPECT_EQ(GetValue("Target\\00000000", "type")->second, std::string("\x01\0\0\0", 4));
  const std::string expandable = "Gr\xFC\xDF\x65\r\n\\00000001\r\n%UserName%\r\n";
  EXPECT_EQ(GetValue("Target\\00000001", "text"), std::make_pair(kRegExpandSz, expandable + '\0'));
  EXPECT_EQ(Dump("Target\\OldSub"), "");

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

// A registry whose listing of sub-keys or values fails with another code than the end, or
// that refuses a value after storing some.
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

// Only ever against the in-memory registry: what would empty a whole hive, and failures
// advapi32 cannot be made to give.
class RegistryTextFailures : public ::testing::Test {
 protected:
  void Put(const std::string& subPath, const char* name, std::uint32_t type, const std::string& bytes) {
    RegKey key = 0;
    ASSERT_EQ(memory_.CreateKey(kHkeyCurrentUser, subPath.c_str(), &key), 0);
    memory_.SetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                       static_cast<std::uint32_t>(bytes.size()));
    memory_.CloseKey(key);
  }
  void TearDown() override { EXPECT_EQ(memory_.OpenHandleCount(), 0u); }

  FailingListRegistry memory_;
  ScopedServices scope_{{.registry = &memory_}};
  TempFolder folder_;
  const std::string file_ = folder_.File("x.txt");
};

TEST_F(RegistryTextFailures, ImportOverARootAloneIsRefusedBeforeAnythingChanges) {
  Put("Identities\\{A}", "Name", kRegSz, std::string("Main\0", 5));
  ASSERT_TRUE(WriteFileBytes(file_, "\\\r\n\"A\"= sz:1\r\n"));
  EXPECT_THROW(ImportKeyFile("HKEY_CURRENT_USER", file_), RegistryError);
  EXPECT_EQ(DumpTree(memory_, kHkeyCurrentUser, "Identities"), "[]\n[\\{A}]\nName type 1: 77 97 105 110 0\n");
}

TEST_F(RegistryTextFailures, AListingThatFailsPartWayRaisesInsteadOfGivingAShortenedExport) {
  for (const char* sub : {"Src\\A", "Src\\B"}) {
    Put(sub, "V1", kRegSz, std::string("1\0", 2));
    Put(sub, "V2", kRegSz, std::string("2\0", 2));
  }
  ExportKeyTree("HKEY_CURRENT_USER\\Src", file_);
  EXPECT_EQ(ReadFileBytes(file_),
            "\\\r\n\\A\r\n\"V1\"= sz:1\r\n\"V2\"= sz:2\r\n\\B\r\n\"V1\"= sz:1\r\n\"V2\"= sz:2\r\n");
  memory_.failKeysAt = 1;
  EXPECT_THROW(ExportKeyTree("HKEY_CURRENT_USER\\Src", file_), RegistryError);
  memory_.failKeysAt.reset();
  memory_.failValuesAt = 1;
  EXPECT_THROW(ExportKeyTree("HKEY_CURRENT_USER\\Src", file_), RegistryError);
  EXPECT_THROW(ExportKeyValues("HKEY_CURRENT_USER\\Src\\A", file_), RegistryError);
}

// The registry refuses a value half-way through an import: the target's tree, values of
// every type included, is put back as it was.
TEST_F(RegistryTextFailures, AValueTheRegistryRefusesPutsTheTargetBackAsItWasOrRemovesWhatItAdded) {
  Put("Target\\Old", "Lines", kRegMultiSz, std::string("a\0b\0", 5));
  Put("Target\\Old", "Sig", kRegSz, std::string("Hi\r\n\r\nAnna", 11));
  const std::string before = DumpTree(memory_, kHkeyCurrentUser, "Target");
  ASSERT_TRUE(WriteFileBytes(file_, "\\\r\n\"A\"= sz:1\r\n\\New\r\n\"B\"=raw:7:0,0\r\n\"C\"= dw:3\r\n"));
  memory_.refuseSetsAfter = 2;
  EXPECT_THROW(ImportKeyFile("HKEY_CURRENT_USER\\Target", file_), RegistryError);
  EXPECT_EQ(DumpTree(memory_, kHkeyCurrentUser, "Target"), before);
  // Into a key that was not there (a new identity's), nothing of the file stays.
  memory_.refuseSetsAfter = 2;
  EXPECT_THROW(ImportKeyFile("HKEY_CURRENT_USER\\Target\\New Identity", file_), RegistryError);
  EXPECT_EQ(DumpTree(memory_, kHkeyCurrentUser, "Target"), before);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryText, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
