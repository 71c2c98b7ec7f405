#include "backup/ItemsFixture.h"

#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "mailclient/Locations.h"
#include "registry/RegistryFixture.h"
#include "registry/ModReg.h"

namespace quarnel::testing {

using platform::Registry;
using platform::RegKey;

namespace {

std::string Dword(std::uint32_t n) { return std::string(reinterpret_cast<const char *>(&n), 4); }

}  // namespace

ItemsTest::ItemsTest() {
  system.userProfile = dir.path();
  state_.InfoFilePath = app::JoinPath(app::DataFolder(), backup::kInfoFileName);
}

void ItemsTest::TearDown() {
  state_.Zip1->CloseArchive();
  EXPECT_EQ(registry.OpenHandleCount(), 0u) << "a key handle was left open";
}

void ItemsTest::Put(const std::string &key, const std::string &name, std::uint32_t type, const std::string &bytes) {
  const registry::KeyPath path = registry::SplitKeyName(key);
  RegKey handle = 0;
  ASSERT_EQ(Registry().CreateKey(path.root, path.subPath.c_str(), &handle), 0) << key;
  EXPECT_EQ(Registry().SetValueEx(handle, name.c_str(), type, reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                  static_cast<std::uint32_t>(bytes.size())),
            0);
  Registry().CloseKey(handle);
}

std::string ItemsTest::Tree(const std::string &key) {
  const registry::KeyPath path = registry::SplitKeyName(key);
  return DumpTree(Registry(), path.root, path.subPath);
}

std::string ItemsTest::MakeFolder(const std::string &below) {
  for (std::size_t cut = below.find('\\');; cut = below.find('\\', cut + 1)) {
    platform::Files().CreateFolder(Path(below.substr(0, cut)));
    if (cut == std::string::npos) return Path(below);
  }
}

std::map<std::string, std::string> ItemsTest::LiveFiles() const {
  std::map<std::string, std::string> files;
  for (const std::string folder : {".", "Store B", "Address Book", kStationery}) {
    for (const std::string &name : platform::Files().ListFiles(folder == "." ? dir.path() : Path(folder))) {
      files[folder + "\\" + name] = Read(folder + "\\" + name);
    }
  }
  return files;
}

void ItemsTest::SeedAll() {
  for (const char *identity : {kIdentityA, kIdentityB}) {
    const bool a = identity == kIdentityA;
    PutText(IdentityPath(identity), "Username", a ? "Main Identity" : "Work");
    const std::string account =
        IdentityPath(identity, "Software\\Microsoft\\Internet Account Manager\\Accounts\\00000001");
    PutText(account, "Account Name", a ? "Mail at home" : "Work mail");
    Put(account, "POP3 Port", platform::kRegDword, Dword(a ? 110 : 995));
    Put(account, "POP3 Password2", platform::kRegBinary, a ? std::string("\x01\x00\xFF\x7F", 4) : "\x02");
    MakeFolder(a ? "Store A" : "Store B");
    Put(VersionPath(identity), "Store Root", platform::kRegExpandSz,
        (a ? std::string("%UserProfile%\\Store A") : Path("Store B")) + '\0');
  }
  Put(VersionPath(kIdentityA, "Rules\\Mail\\000"), "Flags", platform::kRegDword, Dword(0xFFFFFFFF));
  PutText(VersionPath(kIdentityA, "Rules\\Mail\\000"), "Name", "Move spam  ");
  ASSERT_EQ(registry::CreateKey(VersionPath(kIdentityA, "Rules\\News")), 0);  // a key without values
  PutText(VersionPath(kIdentityA, "Block Senders\\Mail\\Criteria\\0"), "Criteria", "spam@example.com");
  PutText(VersionPath(kIdentityA, "signatures"), "Default Signature", "00000000");
  PutText(VersionPath(kIdentityA, "signatures\\00000000"), "name", "Signature #1");
  PutText(VersionPath(kIdentityA, "signatures\\00000000"), "text",
          "Regards,\r\n\r\n  Anna Berg  \r\n\"Berg & S\xF6hne\" GmbH\r\nTel. +49 30 1234-0\r\n");
  Put(VersionPath(kIdentityA, "signatures\\00000000"), "type", platform::kRegDword, Dword(1));
  PutText(VersionPath(kIdentityA, "signatures\\00000001"), "text", "Gr\xFC\xDF\x65\r\nAnna");
  Put(VersionPath(kIdentityA, "Mail"), "Poll For Mail", platform::kRegDword, Dword(1800000));
  Put(VersionPath(kIdentityA, "Mail"), "Empty", platform::kRegBinary, "");
  Put(VersionPath(kIdentityA, "Mail"), "Dictionaries", platform::kRegMultiSz, std::string("en-GB\0de-DE\0\0", 13));
  Put(VersionPath(kIdentityA, "Mail"), "Last Sync", 11, std::string("\x10\x32\x54\x76\x98\xBA\xDC\x01", 8));
  Put(VersionPath(kIdentityA, "Mail"), "Upgraded", platform::kRegNone, "");
  Put(VersionPath(kIdentityA, "Mail"), "Sort=Date", platform::kRegDword, Dword(2));
  // A real spread of folder sizes: a big inbox, smaller folders, one empty.
  for (std::size_t i = 0; i < kMailFolderFiles.size(); ++i) {
    Write("Store A\\" + kMailFolderFiles[i],
          i == 5 ? "" : MailLikeText(i == 0 ? 300000 : 40000 / (i + 1), static_cast<unsigned>(i + 1)));
  }
  Write("Store A\\notes.txt", "not a mail folder");
  MakeFolder("Address Book");
  Write("Address Book\\alice.wab", MailLikeText(5000, 4));
  PutText(mailclient::kAddressBookKey, "", Path("Address Book\\alice.wab"));
  MakeFolder(kStationery);
  Write(std::string(kStationery) + "\\Ivy.htm", "<html>ivy</html>");
  Write(std::string(kStationery) + "\\Ivy.gif", std::string("GIF89a\0\1\2", 9));
  Write(std::string(kStationery) + "\\Ivy;2005.htm", "<html>ivy of 2005</html>");
  PutText(mailclient::kCurrentVersionKey, "CommonFilesDir", " " + Path("Common Files") + " ");
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

}  // namespace quarnel::testing
