#pragma once
// A user's Outlook Express data as the items find it, in an in-memory registry and in a
// folder of its own, also the data folder and the profile: identity A with data in every
// item, its store named through %UserProfile%; B restored into. Under Wine the files are
// the real ones; the registry's own contract is tested over advapi32 in tests/registry.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "app/MainState.h"
#include "app/Settings.h"
#include "backup/ItemContext.h"
#include "mailclient/Locations.h"
#include "registry/ModReg.h"
#include "support/RecordedSeams.h"

namespace quarnel::testing {

inline constexpr const char *kIdentityA = "{51AB0001-0000-4000-8000-0000000000A1}";
inline constexpr const char *kIdentityB = "{51AB0001-0000-4000-8000-0000000000B2}";
inline constexpr const char *kStationery = "Common Files\\Microsoft Shared\\Stationery";
// The mail folder files of identity A's store, in the order they are written.
inline const std::vector<std::string> kMailFolderFiles = {
    "Inbox.dbx", "Gel\xF6schte Objekte.dbx", "Folders.DBX", "Old;2005.dbx", "a;b;c.dbx", "a.dbx"};

class ItemsTest : public ::testing::Test, public RecordedSeams {
 protected:
  ItemsTest();
  void TearDown() override;

  // Registry, by full key names (HKEY_CURRENT_USER\... or HKEY_LOCAL_MACHINE\...).
  void Put(const std::string &key, const std::string &name, std::uint32_t type, const std::string &bytes);
  void PutText(const std::string &key, const std::string &name, const std::string &text) {
    Put(key, name, platform::kRegSz, text + '\0');
  }
  void RemoveTree(const std::string &key) { registry::DeleteKeyTree(key); }
  std::string IdentityPath(const char *identity, const std::string &below = "") const {
    return mailclient::IdentityKey(identity) + (below.empty() ? "" : "\\" + below);
  }
  std::string VersionPath(const char *identity, const std::string &below = "") const {
    return IdentityPath(identity, "Software\\Microsoft\\Outlook Express\\5.0" + (below.empty() ? "" : "\\" + below));
  }
  std::string Tree(const std::string &key);  // every key and value below, read straight through the seam

  // Files, below the test folder.
  std::string Path(const std::string &below) const { return app::JoinPath(dir.path(), below); }
  std::string MakeFolder(const std::string &below);  // with the folders above it
  void Write(const std::string &below, const std::string &bytes) {
    ASSERT_TRUE(platform::Files().WriteAll(Path(below), bytes)) << below;
  }
  static std::string ReadAt(const std::string &path) {
    std::string bytes;
    platform::Files().ReadAll(path, &bytes);
    return bytes;
  }
  std::string Read(const std::string &below) const { return ReadAt(Path(below)); }
  bool Exists(const std::string &below) const { return platform::Files().FileExists(Path(below)); }
  // Every file of the folders a restore may write to, with its content.
  std::map<std::string, std::string> LiveFiles() const;

  void SeedAll();
  // A backup of identity A to backup.soe: the items chosen by `which`, the information
  // file, the archive written; the job's files deleted. The flags the items gave.
  std::string WriteBackup(const std::string &which = "11111111", const std::string &password = "");
  // Opens backup.soe as the restore page does: its information file read into
  // ItemEntryNames. The item flags it holds.
  std::string OpenBackup(const std::string &password = "");
  std::string InfoText() const { return ReadAt(state_.InfoFilePath); }  // the one being built

  app::MainState state_;
  int pumps_ = 0;
  backup::ItemContext context_{state_, [this] { ++pumps_; }, {}};
};

}  // namespace quarnel::testing
