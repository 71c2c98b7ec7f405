// The registry function set's contract: what the program relies on from advapi32, held
// against the in-memory twin with the same test bodies. How values are read through a
// buffer too small (and the default value) is held by the modReg tests, over both.
#include <cstring>
#include <string>
#include <vector>

#include "RegistryFixture.h"

namespace quarnel::testing {
namespace {

using namespace platform;

class RegistryContract : public RegistryTest {
 protected:
  // Opens a key below the test's own; the call's result must be `expected`.
  RegKey Open(const std::string& below, long expected = 0) {
    RegKey key = 0;
    std::string path = basePath() + (below.empty() ? "" : "\\" + below);
    EXPECT_EQ(reg().OpenKeyEx(kHkeyCurrentUser, path.c_str(), kKeyRead, &key), expected) << below;
    return key;
  }
  RegKey Create(const std::string& below) {
    RegKey key = 0;
    EXPECT_EQ(reg().CreateKey(kHkeyCurrentUser, (basePath() + "\\" + below).c_str(), &key), 0) << below;
    return key;
  }
};

TEST_P(RegistryContract, KeysOpenAndAreCreatedAlongTheirPathWithoutRegardToCase) {
  reg().CloseKey(Create("A\\B\\C"));
  EXPECT_TRUE(HasKey("A"));
  SetText("A\\B\\C", "Kept", "yes");
  reg().CloseKey(Create("a\\b\\c"));
  EXPECT_TRUE(GetValue("A\\B\\C", "Kept").has_value()) << "creating an existing key must not empty it";
  reg().CloseKey(Open("A\\b\\C"));
  Open("A\\B\\Missing", kErrorFileNotFound);
  Open("Nowhere\\C", kErrorFileNotFound);

  RegKey key = Open("A"), same = 0, sub = 0;
  EXPECT_EQ(reg().OpenKey(key, "", &same), 0);
  EXPECT_EQ(same, key);  // no sub-key: the same handle
  EXPECT_EQ(reg().OpenKey(key, "b", &sub), 0);
  EXPECT_NE(sub, key);
  reg().CloseKey(sub);
  reg().CloseKey(key);
  EXPECT_EQ(reg().CloseKey(0x1234), kErrorInvalidHandle);
  EXPECT_EQ(reg().CloseKey(kHkeyCurrentUser), 0);
}

TEST_P(RegistryContract, SubKeysEnumerateSortedWithoutRegardToCaseAndKeepTheirCase) {
  for (const char* name : {"gamma", "beta", "Alpha", "Delta2", "delta10", "ALPHA"})
    MakeKey(std::string("List\\") + name);
  RegKey key = Open("List");
  std::vector<std::string> names;
  char name[260];
  std::uint32_t length = sizeof name;
  for (std::uint32_t index = 0; reg().EnumKeyEx(key, index, name, &length) == 0; ++index, length = sizeof name) {
    EXPECT_EQ(std::strlen(name), length);
    names.emplace_back(name, length);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", "delta10", "Delta2", "gamma"}));  // "ALPHA" is "Alpha"
  EXPECT_EQ(reg().EnumKeyEx(key, 5, name, &length), kErrorNoMoreItems);
  length = 3;  // too small for "Alpha" and its zero
  EXPECT_EQ(reg().EnumKeyEx(key, 0, name, &length), kErrorMoreData);
  reg().CloseKey(key);
}

TEST_P(RegistryContract, OnlyKeysWithoutSubKeysAreDeletedAndTheirHandlesThenFail) {
  SetText("Parent\\Child", "Value", "x");
  RegKey doomed = Create("Doomed");
  RegKey base = Open("");
  EXPECT_EQ(reg().DeleteKey(base, "Parent"), kErrorAccessDenied);
  EXPECT_EQ(reg().DeleteKey(base, "Missing"), kErrorFileNotFound);
  EXPECT_EQ(reg().DeleteKey(base, "PARENT\\child"), 0);
  EXPECT_EQ(reg().DeleteKey(base, "Parent"), 0);
  EXPECT_FALSE(HasKey("Parent"));
  ASSERT_EQ(reg().DeleteKey(base, "Doomed"), 0);
  reg().CloseKey(base);
  const std::uint8_t byte = 1;
  EXPECT_EQ(reg().SetValueEx(doomed, "v", kRegBinary, &byte, 1), 1018);  // ERROR_KEY_DELETED
  char name[260];
  std::uint32_t length = sizeof name;
  EXPECT_EQ(reg().EnumKeyEx(doomed, 0, name, &length), 1018);
  EXPECT_FALSE(HasKey("Doomed")) << "writing through a stale handle must not bring the key back";
  EXPECT_EQ(reg().CloseKey(doomed), 0);
}

TEST_P(RegistryContract, ValuesMatchWithoutRegardToCaseKeepTheirFirstNameAndExactBytes) {
  SetText("", "Store Root", "C:\\one");
  SetText("", "STORE ROOT", "C:\\two");
  SetValue("Bin", "Blob", kRegBinary, std::string("\x01\x00\xFF\x10\x00", 5));
  RegKey key = Open("");
  char name[260];
  std::uint32_t nameLength = sizeof name, type = 0, size = 0;
  std::uint8_t data[64];
  size = sizeof data;
  ASSERT_EQ(reg().EnumValue(key, 0, name, &nameLength, &type, data, &size), 0);
  EXPECT_EQ(std::string(name, nameLength), "Store Root");
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("C:\\two", 7));
  nameLength = sizeof name;
  EXPECT_EQ(reg().EnumValue(key, 1, name, &nameLength, &type, data, &size), kErrorNoMoreItems);
  reg().CloseKey(key);
  key = Open("Bin");

  size = 0;
  EXPECT_EQ(reg().QueryValueEx(key, "blob", &type, nullptr, &size), 0);
  EXPECT_EQ(type, kRegBinary);
  EXPECT_EQ(size, 5u);
  size = 4;
  EXPECT_EQ(reg().QueryValueEx(key, "Blob", &type, data, &size), kErrorMoreData);
  EXPECT_EQ(size, 5u);
  size = sizeof data;
  EXPECT_EQ(reg().QueryValueEx(key, "Blob", &type, data, &size), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("\x01\x00\xFF\x10\x00", 5));
  EXPECT_EQ(reg().QueryValueEx(key, "Missing", &type, data, &size), kErrorFileNotFound);
  reg().CloseKey(key);

  RegKey writable = Create("");
  EXPECT_EQ(reg().DeleteValue(writable, "store root"), 0);
  EXPECT_EQ(reg().DeleteValue(writable, "store root"), kErrorFileNotFound);
  reg().CloseKey(writable);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistryContract, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
