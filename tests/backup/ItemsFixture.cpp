#include "backup/ItemsFixture.h"

#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "mailclient/Locations.h"
#include "platform/portable/MemoryRegistry.h"
#include "registry/ModReg.h"
#include "registry/RegistryText.h"

namespace quarnel::testing {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
using platform::Registry;
using platform::RegKey;

namespace {

constexpr const char *kCurrentVersion = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char *kWab = "Software\\Microsoft\\WAB\\WAB4\\Wab File Name";

// "HKLM\..." names a key of the machine, anything else one below
// HKEY_CURRENT_USER.
std::pair<RegKey, std::string> RootAndPath(const std::string &key) {
  if (key.rfind("HKLM\\", 0) == 0) return {kHkeyLocalMachine, key.substr(5)};
  return {kHkeyCurrentUser, key};
}

std::string Dword(std::uint32_t n) { return std::string(reinterpret_cast<const char *>(&n), 4); }

}  // namespace

ItemsTest::ItemsTest() : system_(dir_.path()) {}

void ItemsTest::SetUp() {
  registry_ = GetParam().make();
  scope_.emplace(platform::Services{
      .registry = registry_.get(), .system = &system_, .processes = &processes_, .messages = &messages_});
  saved_ = {Save(kHkeyLocalMachine, kCurrentVersion, "CommonFilesDir"), Save(kHkeyCurrentUser, kWab, "")};
  sharedAccountsExisted_ = registry::KeyExists(mailclient::kUserAccountsKey);
  for (const char *identity : {kIdentityA, kIdentityB}) RemoveTree(mailclient::IdentityKey(identity));
  state_.InfoFilePath = app::JoinPath(app::DataFolder(), backup::kInfoFileName);
}

void ItemsTest::TearDown() {
  state_.Zip1->CloseArchive();
  for (const char *identity : {kIdentityA, kIdentityB}) RemoveTree(mailclient::IdentityKey(identity));
  if (!sharedAccountsExisted_) RemoveTree(mailclient::kUserAccountsKey);
  for (const SavedValue &saved : saved_) Restore(saved);
  if (auto *memory = dynamic_cast<platform::MemoryRegistry *>(registry_.get())) {
    EXPECT_EQ(memory->OpenHandleCount(), 0u) << "a key handle was left open";
  }
  scope_.reset();
}

ItemsTest::SavedValue ItemsTest::Save(RegKey root, const std::string &key, const std::string &name) {
  SavedValue saved{root, key, name, std::nullopt};
  RegKey handle = 0;
  if (Registry().OpenKeyEx(root, key.c_str(), platform::kKeyRead, &handle) != 0) return saved;
  std::uint32_t type = 0, size = 0;
  if (Registry().QueryValueEx(handle, name.c_str(), &type, nullptr, &size) == 0) {
    std::string bytes(size, '\0');
    Registry().QueryValueEx(handle, name.c_str(), &type, reinterpret_cast<std::uint8_t *>(bytes.data()), &size);
    saved.value.emplace(type, bytes.substr(0, size));
  }
  Registry().CloseKey(handle);
  return saved;
}

void ItemsTest::Restore(const SavedValue &saved) {
  RegKey handle = 0;
  if (Registry().OpenKeyEx(saved.root, saved.key.c_str(), platform::kKeyRead | platform::kKeyWrite, &handle) != 0)
    return;
  if (saved.value) {
    Registry().SetValueEx(handle, saved.name.c_str(), saved.value->first,
                          reinterpret_cast<const std::uint8_t *>(saved.value->second.data()),
                          static_cast<std::uint32_t>(saved.value->second.size()));
  } else {
    Registry().DeleteValue(handle, saved.name.c_str());
  }
  Registry().CloseKey(handle);
}

void ItemsTest::Put(const std::string &key, const std::string &name, std::uint32_t type, const std::string &bytes) {
  auto [root, path] = RootAndPath(key);
  RegKey handle = 0;
  ASSERT_EQ(Registry().CreateKey(root, path.c_str(), &handle), 0) << key;
  EXPECT_EQ(Registry().SetValueEx(handle, name.c_str(), type, reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                  static_cast<std::uint32_t>(bytes.size())),
            0);
  Registry().CloseKey(handle);
}

void ItemsTest::PutText(const std::string &key, const std::string &name, const std::string &text) {
  Put(key, name, platform::kRegSz, text + '\0');
}

void ItemsTest::MakeKey(const std::string &key) {
  auto [root, path] = RootAndPath(key);
  RegKey handle = 0;
  ASSERT_EQ(Registry().CreateKey(root, path.c_str(), &handle), 0) << key;
  Registry().CloseKey(handle);
}

void ItemsTest::RemoveTree(const std::string &key) { registry::DeleteKeyTree(key); }

std::string ItemsTest::IdentityPath(const char *identity, const std::string &below) const {
  std::string path = std::string("Identities\\") + identity;
  return below.empty() ? path : path + "\\" + below;
}

std::string ItemsTest::VersionPath(const char *identity, const std::string &below) const {
  std::string path = IdentityPath(identity, "Software\\Microsoft\\Outlook Express\\5.0");
  return below.empty() ? path : path + "\\" + below;
}

std::string ItemsTest::TreeText(const std::string &fullKey) {
  const std::string file = Path("tree.txt");
  registry::ExportKeyTree(fullKey, file);
  std::string text = Read("tree.txt");
  platform::Files().RemoveFile(file);
  return text;
}

std::string ItemsTest::Path(const std::string &below) const { return app::JoinPath(dir_.path(), below); }

std::string ItemsTest::MakeFolder(const std::string &below) {
  platform::Files().CreateFolder(Path(below));
  return Path(below);
}

void ItemsTest::Write(const std::string &below, const std::string &bytes) {
  ASSERT_TRUE(platform::Files().WriteAll(Path(below), bytes)) << below;
}

std::string ItemsTest::Read(const std::string &below) const {
  std::string bytes;
  platform::Files().ReadAll(Path(below), &bytes);
  return bytes;
}

bool ItemsTest::Exists(const std::string &below) const { return platform::Files().FileExists(Path(below)); }

void ItemsTest::SeedIdentity(const char *identity, const std::string &storeBelow) {
  const bool a = std::string(identity) == kIdentityA;
  PutText(IdentityPath(identity), "Username", a ? "Main Identity" : "Work");
  const std::string account =
      IdentityPath(identity, "Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001");
  PutText(account, "Account Name", a ? "Mail at home" : "Work mail");
  Put(account, "POP3 Port", platform::kRegDword, Dword(a ? 110 : 995));
  Put(account, "POP3 Password2", platform::kRegBinary, a ? std::string("\x01\x00\xFF\x7F", 4) : std::string("\x02", 1));
  Put(VersionPath(identity), "Store Root", platform::kRegExpandSz, MakeFolder(storeBelow) + '\0');
}

void ItemsTest::SeedAll() {
  SeedIdentity(kIdentityA, "Store A");
  Put(VersionPath(kIdentityA, "Rules\\Mail\\000"), "Flags", platform::kRegDword, Dword(0xFFFFFFFF));
  PutText(VersionPath(kIdentityA, "Rules\\Mail\\000"), "Name", "Move spam  ");
  MakeKey(VersionPath(kIdentityA, "Rules\\News"));
  PutText(VersionPath(kIdentityA, "Block Senders\\Mail\\Criteria\\0"), "Criteria", "spam@example.com");
  PutText(VersionPath(kIdentityA, "signatures"), "Default Signature", "00000000");
  PutText(VersionPath(kIdentityA, "signatures\\00000000"), "name", "Signature #1");
  PutText(VersionPath(kIdentityA, "signatures\\00000000"), "text", kSignature);
  Put(VersionPath(kIdentityA, "signatures\\00000000"), "type", platform::kRegDword, Dword(1));
  PutText(VersionPath(kIdentityA, "signatures\\00000001"), "text", "Gr\xFC\xDF\x65\r\nAnna");
  Put(VersionPath(kIdentityA, "Mail"), "Poll For Mail", platform::kRegDword, Dword(1800000));
  Put(VersionPath(kIdentityA, "Mail"), "Empty", platform::kRegBinary, "");
  Put(VersionPath(kIdentityA, "Mail"), "Dictionaries", platform::kRegMultiSz, std::string("en-GB\0de-DE\0\0", 13));
  Put(VersionPath(kIdentityA, "Mail"), "Last Sync", 11, std::string("\x10\x32\x54\x76\x98\xBA\xDC\x01", 8));
  Put(VersionPath(kIdentityA, "Mail"), "Upgraded", platform::kRegNone, "");
  Put(VersionPath(kIdentityA, "Mail"), "Sort=Date", platform::kRegDword, Dword(2));
  for (std::size_t i = 0; i < kMailFolderFiles.size(); ++i) {
    Write("Store A\\" + kMailFolderFiles[i],
          MailLikeText(i == 0 ? 300000 : 40000 / (i + 1), static_cast<unsigned>(i + 1)));
  }
  Write("Store A\\notes.txt", "not a mail folder");

  MakeFolder("Address Book");
  Write("Address Book\\alice.wab", MailLikeText(5000, 4));
  PutText(kWab, "", Path("Address Book\\alice.wab"));

  MakeFolder("Common Files");
  MakeFolder("Common Files\\Microsoft Shared");
  MakeFolder("Common Files\\Microsoft Shared\\Stationery");
  Write("Common Files\\Microsoft Shared\\Stationery\\Ivy.htm", "<html>ivy</html>");
  Write("Common Files\\Microsoft Shared\\Stationery\\Ivy.gif", std::string("GIF89a\0\1\2", 9));
  Write("Common Files\\Microsoft Shared\\Stationery\\Ivy;2005.htm", "<html>ivy of 2005</html>");
  PutText(std::string("HKLM\\") + kCurrentVersion, "CommonFilesDir", " " + Path("Common Files") + " ");

  SeedIdentity(kIdentityB, "Store B");
  Write("Store B\\Inbox.dbx", MailLikeText(1000, 9));
  PutText(VersionPath(kIdentityB, "signatures\\00000000"), "text", "Cheers,\r\nBob");
  PutText(VersionPath(kIdentityB, "signatures\\00000002"), "name", "Bob's own");
}

std::string ItemsTest::WriteBackup(const std::string &which, const std::string &password) {
  state_.Zip1->NewArchive(Path("backup.soe"));
  EXPECT_TRUE(
      backup::BeginInfoFile(state_.InfoFilePath, {true, "BOX", "alice", "Main Identity", "today", "two\r\nlines"}));
  std::string flags;
  for (int i = 0; i < app::kItemCount; ++i) {
    flags += which[i] == '1' && backup::Items()[i].backup(context_, kIdentityA) ? '1' : '0';
  }
  EXPECT_TRUE(backup::FinishInfoFile(context_, flags));
  state_.Zip1->ArchivePassword(password);
  state_.Zip1->EncryptionMode(password.empty() ? 0 : 1);
  EXPECT_TRUE(state_.Zip1->WriteArchive()) << state_.Zip1->LastError();
  backup::DeleteJobFiles(context_);
  state_.Zip1->CloseArchive();
  return flags;
}

std::string ItemsTest::OpenBackup(const std::string &password) {
  EXPECT_TRUE(state_.Zip1->OpenArchive(Path("backup.soe")));
  state_.Zip1->ReadPassword(password);
  std::optional<archive::ArchiveEntry> info = state_.Zip1->FindEntry(backup::kInfoFileName);
  EXPECT_TRUE(info && info->ExtractToFolder(app::DataFolder()));
  backup::BackupInfo read = backup::ReadBackupInfo(state_.InfoFilePath);
  for (int i = 0; i < app::kItemCount; ++i) state_.ItemEntryNames[i] = read.entryNames[i];
  platform::Files().RemoveFile(state_.InfoFilePath);
  return read.itemFlags;
}

std::string ItemsTest::InfoText() const {
  std::string text;
  platform::Files().ReadAll(state_.InfoFilePath, &text);
  return text;
}

}  // namespace quarnel::testing
