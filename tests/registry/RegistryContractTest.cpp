// The registry function set's contract: what the program relies on from advapi32, held
// against the in-memory twin with the same test bodies.
#include <cstring>
#include <string>
#include <vector>

#include "RegistryFixture.h"

namespace quarnel::testing {
namespace {

using namespace platform;

class RegistryContract : public RegistryTest {
 protected:
  RegKey Open(const std::string& below) {
    RegKey key = 0;
    std::string path = basePath() + (below.empty() ? "" : "\\" + below);
    EXPECT_EQ(reg().OpenKeyEx(kHkeyCurrentUser, path.c_str(), kKeyRead, &key), 0) << below;
    return key;
  }
  std::vector<std::string> SubKeys(RegKey key) {
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
      char name[260];
      std::uint32_t length = sizeof name;
      long rc = reg().EnumKeyEx(key, index, name, &length);
      if (rc == kErrorNoMoreItems) break;
      EXPECT_EQ(rc, 0);
      if (rc != 0) break;
      EXPECT_EQ(std::strlen(name), length);
      names.emplace_back(name, length);
    }
    return names;
  }
};

TEST_P(RegistryContract, OpensExistingKeysWithoutRegardToCaseAndReportsMissingOnes) {
  MakeKey("Outer\\Inner");
  RegKey key = 0;
  std::string upper = basePath() + "\\OUTER\\inner";
  EXPECT_EQ(reg().OpenKeyEx(kHkeyCurrentUser, upper.c_str(), kKeyRead, &key), 0);
  reg().CloseKey(key);
  std::string missing = basePath() + "\\Outer\\Missing";
  EXPECT_EQ(reg().OpenKeyEx(kHkeyCurrentUser, missing.c_str(), kKeyRead, &key), kErrorFileNotFound);
  std::string missingParent = basePath() + "\\Nowhere\\Inner";
  EXPECT_EQ(reg().OpenKeyEx(kHkeyCurrentUser, missingParent.c_str(), kKeyRead, &key), kErrorFileNotFound);
}

TEST_P(RegistryContract, CreateKeyMakesEveryMissingKeyAlongThePathAndOpensExistingOnes) {
  RegKey key = 0;
  std::string deep = basePath() + "\\A\\B\\C";
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, deep.c_str(), &key), 0);
  reg().CloseKey(key);
  EXPECT_TRUE(HasKey("A"));
  EXPECT_TRUE(HasKey("A\\B\\C"));
  SetText("A\\B\\C", "Kept", "yes");
  std::string otherCase = basePath() + "\\a\\b\\c";
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, otherCase.c_str(), &key), 0);
  reg().CloseKey(key);
  EXPECT_TRUE(GetValue("A\\B\\C", "Kept").has_value()) << "creating an existing key must not empty it";
}

TEST_P(RegistryContract, SubKeysEnumerateSortedWithoutRegardToCaseAndKeepTheirCase) {
  for (const char* name : {"gamma", "beta", "Alpha", "Delta2", "delta10"}) MakeKey(std::string("List\\") + name);
  MakeKey("List\\ALPHA");  // the same key again: no second entry, the first spelling stays
  RegKey key = Open("List");
  EXPECT_EQ(SubKeys(key), (std::vector<std::string>{"Alpha", "beta", "delta10", "Delta2", "gamma"}));
  char name[260];
  std::uint32_t length = sizeof name;
  EXPECT_EQ(reg().EnumKeyEx(key, 5, name, &length), kErrorNoMoreItems);
  length = 3;  // too small for "Alpha" and its zero
  EXPECT_EQ(reg().EnumKeyEx(key, 0, name, &length), kErrorMoreData);
  reg().CloseKey(key);
}

TEST_P(RegistryContract, DeleteKeyRemovesOnlyKeysWithoutSubKeys) {
  MakeKey("Parent\\Child");
  SetText("Parent\\Child", "Value", "x");
  RegKey parent = Open("");
  EXPECT_EQ(reg().DeleteKey(parent, "Parent"), kErrorAccessDenied);
  EXPECT_TRUE(HasKey("Parent\\Child"));
  EXPECT_EQ(reg().DeleteKey(parent, "Missing"), kErrorFileNotFound);
  EXPECT_EQ(reg().DeleteKey(parent, "PARENT\\child"), 0);
  EXPECT_FALSE(HasKey("Parent\\Child"));
  EXPECT_EQ(reg().DeleteKey(parent, "Parent"), 0);
  EXPECT_FALSE(HasKey("Parent"));
  reg().CloseKey(parent);
}

TEST_P(RegistryContract, AHandleOfADeletedKeyFailsAndClosesAndUnknownHandlesAreRefused) {
  RegKey doomed = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, (basePath() + "\\Doomed").c_str(), &doomed), 0);
  RegKey parent = Open("");
  ASSERT_EQ(reg().DeleteKey(parent, "Doomed"), 0);
  reg().CloseKey(parent);
  const std::uint8_t byte = 1;
  EXPECT_EQ(reg().SetValueEx(doomed, "v", kRegBinary, &byte, 1), 1018);  // ERROR_KEY_DELETED
  char name[260];
  std::uint32_t length = sizeof name;
  EXPECT_EQ(reg().EnumKeyEx(doomed, 0, name, &length), 1018);
  EXPECT_FALSE(HasKey("Doomed")) << "writing through a stale handle must not bring the key back";
  EXPECT_EQ(reg().CloseKey(doomed), 0);
  EXPECT_EQ(reg().CloseKey(0x1234), kErrorInvalidHandle);
  EXPECT_EQ(reg().CloseKey(kHkeyCurrentUser), 0);
}

TEST_P(RegistryContract, OpenKeyWithoutASubKeyHandsBackTheSameHandle) {
  RegKey key = Open(""), same = 0;
  EXPECT_EQ(reg().OpenKey(key, "", &same), 0);
  EXPECT_EQ(same, key);
  MakeKey("Sub");
  RegKey sub = 0;
  EXPECT_EQ(reg().OpenKey(key, "sub", &sub), 0);
  EXPECT_NE(sub, key);
  reg().CloseKey(sub);
  reg().CloseKey(key);
}

TEST_P(RegistryContract, ValueNamesMatchWithoutRegardToCaseAndKeepTheCaseTheyWereCreatedWith) {
  SetText("", "Store Root", "C:\\one");
  SetText("", "STORE ROOT", "C:\\two");
  RegKey key = Open("");
  char name[260];
  std::uint32_t nameLength = sizeof name, type = 0;
  std::uint8_t data[64];
  std::uint32_t size = sizeof data;
  ASSERT_EQ(reg().EnumValue(key, 0, name, &nameLength, &type, data, &size), 0);
  EXPECT_EQ(std::string(name, nameLength), "Store Root");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("C:\\two", 7));
  nameLength = sizeof name;
  EXPECT_EQ(reg().EnumValue(key, 1, name, &nameLength, &type, data, &size), kErrorNoMoreItems);
  reg().CloseKey(key);

  RegKey writable = 0;
  ASSERT_EQ(reg().CreateKey(kHkeyCurrentUser, basePath().c_str(), &writable), 0);
  EXPECT_EQ(reg().DeleteValue(writable, "store root"), 0);
  EXPECT_EQ(reg().DeleteValue(writable, "store root"), kErrorFileNotFound);
  reg().CloseKey(writable);
}

TEST_P(RegistryContract, QueryValueExStoresExactBytesAndTellsTheNeededSize) {
  const std::string bytes("\x01\x00\xFF\x10\x00", 5);
  SetValue("", "Blob", kRegBinary, bytes);
  RegKey key = Open("");
  std::uint32_t type = 0, size = 0;
  EXPECT_EQ(reg().QueryValueEx(key, "blob", &type, nullptr, &size), 0);
  EXPECT_EQ(size, 5u);
  EXPECT_EQ(type, kRegBinary);
  std::uint8_t data[8] = {};
  size = 4;
  EXPECT_EQ(reg().QueryValueEx(key, "Blob", &type, data, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  size = sizeof data;
  EXPECT_EQ(reg().QueryValueEx(key, "Blob", &type, data, &size), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), bytes);
  EXPECT_EQ(reg().QueryValueEx(key, "Missing", &type, data, &size), kErrorFileNotFound);
  reg().CloseKey(key);
}

TEST_P(RegistryContract, QueryValueReadsTheDefaultValueAndIsEmptyTextWithoutOne) {
  MakeKey("NoDefault");
  SetText("WithDefault", "", "hello");
  RegKey base = Open("");
  char text[16];
  long size = sizeof text;
  text[0] = 'x';
  EXPECT_EQ(reg().QueryValue(base, "NoDefault", text, &size), 0);
  EXPECT_EQ(size, 1);
  EXPECT_EQ(text[0], '\0');

  size = 0;
  EXPECT_EQ(reg().QueryValue(base, "withdefault", nullptr, &size), 0);
  EXPECT_EQ(size, 6);
  size = 3;
  EXPECT_EQ(reg().QueryValue(base, "WithDefault", text, &size), kErrorMoreData);
  EXPECT_EQ(size, 6);
  size = sizeof text;
  EXPECT_EQ(reg().QueryValue(base, "WithDefault", text, &size), 0);
  EXPECT_EQ(size, 6);
  EXPECT_STREQ(text, "hello");
  EXPECT_EQ(reg().QueryValue(base, "Missing", text, &size), kErrorFileNotFound);
  reg().CloseKey(base);
}

TEST_P(RegistryContract, EnumValueWithTooSmallADataBufferTellsTheNeededSize) {
  SetValue("", "Big", kRegBinary, std::string(5000, '\x7F'));
  RegKey key = Open("");
  char name[260];
  std::uint32_t nameLength = sizeof name, type = 0;
  std::vector<std::uint8_t> data(4096);
  std::uint32_t size = 4096;
  EXPECT_EQ(reg().EnumValue(key, 0, name, &nameLength, &type, data.data(), &size), kErrorMoreData);
  EXPECT_EQ(size, 5000u);
  data.resize(size);
  nameLength = sizeof name;
  EXPECT_EQ(reg().EnumValue(key, 0, name, &nameLength, &type, data.data(), &size), 0);
  EXPECT_EQ(std::string(name, nameLength), "Big");
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 5000u);
  EXPECT_EQ(data[4999], 0x7F);
  nameLength = sizeof name;
  EXPECT_EQ(reg().EnumValue(key, 1, name, &nameLength, &type, data.data(), &size), kErrorNoMoreItems);
  reg().CloseKey(key);
}

TEST_P(RegistryContract, EnumValueWithTooSmallANameBufferAsksForMore) {
  const std::string longName(300, 'n');
  SetText("", longName, "x");
  RegKey key = Open("");
  char name[260];
  std::uint32_t nameLength = sizeof name, type = 0;
  std::uint8_t data[16];
  std::uint32_t size = sizeof data;
  EXPECT_EQ(reg().EnumValue(key, 0, name, &nameLength, &type, data, &size), kErrorMoreData);
  std::vector<char> bigger(16384);
  nameLength = static_cast<std::uint32_t>(bigger.size());
  size = sizeof data;
  EXPECT_EQ(reg().EnumValue(key, 0, bigger.data(), &nameLength, &type, data, &size), 0);
  EXPECT_EQ(std::string(bigger.data(), nameLength), longName);
  reg().CloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
