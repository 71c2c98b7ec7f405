#pragma once
// Registry tests run once per registry of the build: the in-memory twin everywhere, and
// advapi32 as well in the Windows build (under Wine). Each test owns a fresh key below
// HKEY_CURRENT_USER\Software\QuarnelTests, removed before and after it runs.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"

namespace quarnel::testing {

struct RegistryBackend {
  std::string name;
  std::unique_ptr<platform::RegistryApi> (*make)();
};

std::vector<RegistryBackend> RegistryBackends();

class RegistryTest : public ::testing::TestWithParam<RegistryBackend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::RegistryApi& reg() { return *registry_; }
  // The test's own key: its path below HKEY_CURRENT_USER and its full name.
  const std::string& basePath() const { return basePath_; }
  std::string BaseName(const std::string& below = "") const;

  // Tree building and reading straight through the seam, apart from the code under test.
  void MakeKey(const std::string& below);
  void SetValue(const std::string& below, const std::string& name, std::uint32_t type, const std::string& bytes);
  void SetText(const std::string& below, const std::string& name, const std::string& text);  // REG_SZ with zero
  void SetDword(const std::string& below, const std::string& name, std::uint32_t number);
  // The value's type and bytes, or nothing when missing.
  std::optional<std::pair<std::uint32_t, std::string>> GetValue(const std::string& below, const std::string& name);
  // Every key and value below (and with) the key, in enumeration order, as text; "" for no key.
  std::string Dump(const std::string& below = "");
  void DeleteTree(const std::string& subPath);

  platform::RecordingMessages messages_;

 private:
  std::string FullPath(const std::string& below) const;

  std::unique_ptr<platform::RegistryApi> registry_;
  std::optional<platform::ScopedServices> services_;
  std::string basePath_;
};

std::string BackendName(const ::testing::TestParamInfo<RegistryBackend>& info);

// Every key and value of the tree at root\subPath, in enumeration order, as text: read
// straight through the seam, apart from the code under test.
std::string DumpTree(platform::RegistryApi& registry, platform::RegKey root, const std::string& subPath);

}  // namespace quarnel::testing
