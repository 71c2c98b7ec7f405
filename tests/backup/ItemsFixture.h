#pragma once
// A user's Outlook Express data as the items find it, seeded into the registry
// of the test (the in-memory one everywhere, advapi32 as well under Wine) and
// into a folder of the test's own, which is also the data folder. Two
// identities: A holds data in every item, B is the one restored into. What the
// real registry held at the shared locations is put back afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "backup/ItemContext.h"
#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"
#include "registry/RegistryFixture.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::testing {

inline constexpr const char *kIdentityA = "{51AB0001-0000-4000-8000-0000000000A1}";
inline constexpr const char *kIdentityB = "{51AB0001-0000-4000-8000-0000000000B2}";
// Identity A's first signature, as people write them.
inline constexpr const char *kSignature =
    "Regards,\r\n\r\n  Anna Berg  \r\n\"Berg & S\xF6hne\" GmbH\r\nTel. +49 30 1234-0\r\n";
// The mail folder files of identity A's store, in the order they are written.
inline const std::vector<std::string> kMailFolderFiles = {
    "Inbox.dbx", "Gel\xF6schte Objekte.dbx", "Folders.DBX", "Old;2005.dbx", "a;b;c.dbx", "a.dbx"};

class ItemsTest : public ::testing::TestWithParam<RegistryBackend> {
 protected:
  ItemsTest();
  void SetUp() override;
  void TearDown() override;

  // Registry, below HKEY_CURRENT_USER unless the path says HKLM.
  void Put(const std::string &key, const std::string &name, std::uint32_t type, const std::string &bytes);
  void PutText(const std::string &key, const std::string &name, const std::string &text);
  void MakeKey(const std::string &key);
  void RemoveTree(const std::string &key);  // a full key name
  std::string IdentityPath(const char *identity, const std::string &below = "") const;
  std::string VersionPath(const char *identity, const std::string &below = "") const;
  // The tree below a full key name in the export text, the same for equal
  // trees.
  std::string TreeText(const std::string &fullKey);

  // Files, below the test folder.
  std::string Path(const std::string &below) const;
  std::string MakeFolder(const std::string &below);
  void Write(const std::string &below, const std::string &bytes);
  std::string Read(const std::string &below) const;
  bool Exists(const std::string &below) const;

  // Identity A with data in every item, identity B with a store and accounts of
  // its own.
  void SeedIdentity(const char *identity, const std::string &storeBelow);
  void SeedAll();

  // A backup of identity A: the items chosen by `which` ("11111111" all), the
  // information file, the archive written; the job's files deleted. The flags
  // the items gave.
  std::string WriteBackup(const std::string &which = "11111111", const std::string &password = "");
  // Opens the backup as the restore page does: its information file read into
  // ItemEntryNames. The item flags it holds.
  std::string OpenBackup(const std::string &password = "");
  // The lines of the information file being built.
  std::string InfoText() const;

  TempFolder dir_;
  OverrideSystem system_;
  std::unique_ptr<platform::RegistryApi> registry_;
  platform::RecordingMessages messages_;
  platform::RecordingProcesses processes_;
  std::optional<platform::ScopedServices> scope_;
  app::MainState state_;
  int pumps_ = 0;
  backup::ItemContext context_{state_, [this] { ++pumps_; }, {}};

 private:
  struct SavedValue {
    platform::RegKey root;
    std::string key, name;
    std::optional<std::pair<std::uint32_t, std::string>> value;
  };
  SavedValue Save(platform::RegKey root, const std::string &key, const std::string &name);
  void Restore(const SavedValue &saved);

  std::vector<SavedValue> saved_;
  bool sharedAccountsExisted_ = false;
};

}  // namespace quarnel::testing
