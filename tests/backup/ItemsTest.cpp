#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "backup/ItemsFixture.h"
#include "mailclient/Locations.h"
#include "registry/ModReg.h"
#include "support/FaultyFiles.h"

namespace quarnel::testing {
namespace {

using backup::Items;
using namespace std::string_literals;
using platform::Files;

constexpr std::size_t npos = std::string::npos;

std::string Full(const std::string &below) { return "HKEY_CURRENT_USER\\" + below; }

class BackupItemsTest : public ItemsTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(messages_.shown.empty()) << "an item showed a message";
    ItemsTest::TearDown();
  }
  // Every file of the folders a restore may write to, with its content.
  std::map<std::string, std::string> LiveFiles() {
    std::map<std::string, std::string> files;
    for (const char *folder : {"", "Store B", "Address Book", "Common Files\\Microsoft Shared\\Stationery"}) {
      const std::string path = folder[0] ? Path(folder) : dir_.path();
      for (const std::string &name : Files().ListFiles(path)) {
        files[std::string(folder) + "\\" + name] = Read(std::string(folder[0] ? folder : ".") + "\\" + name);
      }
    }
    return files;
  }
  void BeginArchive() {
    state_.Zip1->NewArchive(Path("other.soe"));
    Files().RemoveFile(state_.InfoFilePath);
  }
  // The registry items' keys of an identity, as full names.
  std::vector<std::string> RegistryKeys(const char *identity) {
    std::vector<std::string> keys = {
        Full(IdentityPath(identity, "Software\\Microsoft\\Internet Account Manager\\Accounts"))};
    for (const char *below : {"Rules", "Block Senders", "signatures", "Mail"}) {
      keys.push_back(Full(VersionPath(identity, below)));
    }
    return keys;
  }
};

TEST_P(BackupItemsTest, EveryItemRoundTripsIntoASecondIdentityThroughAProtectedArchive) {
  SeedAll();
  EXPECT_EQ(WriteBackup("11111111", "s3cret pass"), "11111111");
  EXPECT_EQ(pumps_, 6);  // once after every mail folder file
  // Of the job's files only the backup is left: the export files and
  // quarnel.dat are gone.
  EXPECT_EQ(FolderListing(dir_.path()), std::vector<std::string>{"backup.soe"});

  EXPECT_EQ(OpenBackup("s3cret pass"), "11111111");
  const auto &names = state_.ItemEntryNames;
  EXPECT_EQ(names[1], "alice.wab");
  // The names joined by ";" as ever, a name holding ";" among them.
  std::size_t joined = kMailFolderFiles.size() - 1;
  for (const std::string &name : kMailFolderFiles) {
    EXPECT_NE((";" + names[3] + ";").find(";" + name + ";"), npos) << name;
    joined += name.size();
  }
  EXPECT_EQ(names[3].size(), joined);
  EXPECT_EQ(names[6].size(), 28u);  // Ivy.htm, Ivy.gif and Ivy;2005.htm
  const std::string prefixes[] = {"OBA", "", "OBR", "", "OBR", "OBR", "", "OBS"};
  for (int i : {0, 2, 4, 5, 7}) EXPECT_EQ(names[i].substr(0, 3), prefixes[i]) << names[i];
  EXPECT_NE(names[2],
            names[4]);  // three exports with the same prefix, three names
  EXPECT_NE(names[4], names[5]);

  // Since the backup the address book changed, and the stationery folder is
  // missing.
  Write("Address Book\\alice.wab", "changed since");
  MakeFolder("Common Files 2");
  MakeFolder("Common Files 2\\Microsoft Shared");
  PutText("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", Path("Common Files 2"));
  PutText(VersionPath(kIdentityB, "Rules\\Old"), "Gone", "after the restore");

  for (int i = 0; i < app::kItemCount; ++i) EXPECT_TRUE(Items()[i].restore(context_, kIdentityB)) << "item " << i;
  const std::vector<std::string> from = RegistryKeys(kIdentityA), to = RegistryKeys(kIdentityB);
  for (std::size_t k = 0; k < from.size(); ++k) {
    const std::size_t below = std::string("HKEY_CURRENT_USER\\").size();
    EXPECT_EQ(DumpTree(platform::Registry(), platform::kHkeyCurrentUser, to[k].substr(below)),
              DumpTree(platform::Registry(), platform::kHkeyCurrentUser, from[k].substr(below)))
        << from[k];
  }
  for (const std::string &name : kMailFolderFiles)
    EXPECT_EQ(Read("Store B\\" + name), Read("Store A\\" + name)) << name;
  EXPECT_FALSE(Exists("Store B\\notes.txt"));
  EXPECT_EQ(Read("Address Book\\alice.wab"), MailLikeText(5000, 4));
  for (const char *name : {"Ivy.htm", "Ivy.gif", "Ivy;2005.htm"}) {
    EXPECT_EQ(Read(std::string("Common Files 2\\Microsoft Shared\\Stationery\\") + name),
              Read(std::string("Common Files\\Microsoft Shared\\Stationery\\") + name));
  }
  // The registry entries were extracted under names of their own and removed
  // again.
  EXPECT_EQ(FolderListing(dir_.path()), std::vector<std::string>{"backup.soe"});
}

TEST_P(BackupItemsTest, AccountsFallBackToTheSharedKeyAndWithoutAnyAccountsKeyThereIsNothingToRestore) {
  SeedAll();
  RemoveTree(Full(IdentityPath(kIdentityA, "Software\\Microsoft\\Internet Account Manager")));
  PutText("Software\\Microsoft\\Internet Account Manager\\Accounts\\00000009", "Account Name", "Shared");
  const std::string shared = TreeText(mailclient::kUserAccountsKey);
  EXPECT_EQ(WriteBackup("10000000"), "10000000");
  OpenBackup();
  PutText("Software\\Microsoft\\Internet Account Manager\\Accounts\\00000010", "Account Name", "Added");
  EXPECT_TRUE(backup::RestoreAccounts(context_, kIdentityA));
  EXPECT_EQ(TreeText(mailclient::kUserAccountsKey), shared);

  RemoveTree(mailclient::kUserAccountsKey);
  BeginArchive();
  EXPECT_FALSE(backup::BackupAccounts(context_, kIdentityA));
  EXPECT_EQ(InfoText(), "");
  EXPECT_TRUE(backup::RestoreAccounts(context_, kIdentityA));
  EXPECT_FALSE(registry::KeyExists(mailclient::kUserAccountsKey));
}

TEST_P(BackupItemsTest, AMissingRulesKeyIsCreatedAndTravelsAsAnEmptyTree) {
  SeedAll();
  RemoveTree(Full(VersionPath(kIdentityA, "Rules")));
  EXPECT_EQ(WriteBackup("00100000"), "00100000");
  EXPECT_EQ(TreeText(Full(VersionPath(kIdentityA, "Rules"))), "\\\r\n");
  OpenBackup();
  PutText(VersionPath(kIdentityA, "Rules\\Mail\\001"), "Name", "made after the backup");
  EXPECT_TRUE(backup::RestoreRules(context_, kIdentityA));
  EXPECT_EQ(TreeText(Full(VersionPath(kIdentityA, "Rules"))), "\\\r\n");
}

TEST_P(BackupItemsTest, WithoutAVersionKeyTheIdentitysItemsFailBothWays) {
  SeedAll();
  EXPECT_EQ(WriteBackup(), "11111111");
  OpenBackup();
  RemoveTree(Full(VersionPath(kIdentityB)));  // the mail client key is left without sub-keys
  const auto before = LiveFiles();
  BeginArchive();
  for (int i : {2, 3, 4, 5, 7}) {
    EXPECT_FALSE(Items()[i].backup(context_, kIdentityB)) << i;
    EXPECT_FALSE(Items()[i].restore(context_, kIdentityB)) << i;
  }
  EXPECT_EQ(InfoText(), "");
  EXPECT_EQ(LiveFiles(), before);
}

TEST_P(BackupItemsTest, MailFoldersAreTheDbxFilesInAnyCaseInListingOrderFromTheExpandedStoreRoot) {
  SeedAll();
  system_.userProfile = MakeFolder("Profile");
  MakeFolder("Profile\\Mail");
  for (const char *name : {"a.DBX", "b.dbx", "c.txt", "dbx", "d.Dbx"})
    Write(std::string("Profile\\Mail\\") + name, name);
  Put(VersionPath(kIdentityA), "Store Root", platform::kRegExpandSz, std::string("%UserProfile%\\Mail") + '\0');
  const std::set<std::string> mailFolders = {"a.DBX", "b.dbx", "d.Dbx"};
  std::string expected;
  for (const std::string &name : Files().ListFiles(Path("Profile\\Mail"))) {
    if (mailFolders.count(name)) expected += (expected.empty() ? "" : ";") + name;
  }
  BeginArchive();
  EXPECT_TRUE(backup::BackupMails(context_, kIdentityA));
  EXPECT_EQ(InfoText(), "BackupMails=" + expected + "\r\n");
  EXPECT_EQ(pumps_, 3);

  Files().RemoveFile(state_.InfoFilePath);
  for (const char *name : {"a.DBX", "b.dbx", "d.Dbx"}) Files().RemoveFile(Path(std::string("Profile\\Mail\\") + name));
  EXPECT_FALSE(backup::BackupMails(context_, kIdentityA));  // only other files: nothing recorded
  EXPECT_EQ(InfoText(), "");

  RemoveTree(Full(VersionPath(kIdentityA)));
  MakeKey(VersionPath(kIdentityA));  // a version key without "Store Root"
  state_.ItemEntryNames[3] = "Inbox.dbx";
  EXPECT_FALSE(backup::BackupMails(context_, kIdentityA));
  EXPECT_FALSE(backup::RestoreMails(context_, kIdentityA));
}

TEST_P(BackupItemsTest, ARenamedAddressBookIsReplacedAndAFileWithTheOldNameIsLeftAlone) {
  SeedAll();
  EXPECT_EQ(WriteBackup("01000000"), "01000000");
  OpenBackup();
  Write("Address Book\\bob.wab", "the current book");
  PutText("Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", Path("Address Book\\bob.wab"));
  Write("Address Book\\alice.wab", "merely the recorded name");
  EXPECT_TRUE(backup::RestoreAddress(context_));
  EXPECT_EQ(Read("Address Book\\bob.wab"), MailLikeText(5000, 4));
  EXPECT_EQ(Read("Address Book\\alice.wab"), "merely the recorded name");
  EXPECT_EQ(FolderListing(Path("Address Book")), (std::vector<std::string>{"alice.wab", "bob.wab"}));

  // A key naming nothing usable fails both ways: empty, a missing file, no key
  // at all.
  BeginArchive();
  for (const std::string &value : {std::string(), Path("Address Book\\gone.wab"), std::string("-")}) {
    if (value == "-") {
      RemoveTree("HKEY_CURRENT_USER\\Software\\Microsoft\\WAB\\WAB4\\Wab File Name");
    } else {
      PutText("Software\\Microsoft\\WAB\\WAB4\\Wab File Name", "", value);
    }
    EXPECT_FALSE(backup::BackupAddress(context_)) << value;
    EXPECT_FALSE(backup::RestoreAddress(context_)) << value;
  }
  EXPECT_EQ(InfoText(), "");
  EXPECT_EQ(Read("Address Book\\bob.wab"), MailLikeText(5000, 4));
}

TEST_P(BackupItemsTest, AnEmptyStationeryFolderOrAnUnreadableCommonFilesFolderHasNothingToBackUp) {
  SeedAll();
  MakeFolder("Empty");
  MakeFolder("Empty\\Microsoft Shared");
  MakeFolder("Empty\\Microsoft Shared\\Stationery");
  PutText("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir", Path("Empty"));
  BeginArchive();
  EXPECT_FALSE(backup::BackupStationeries(context_));
  platform::RegKey key = 0;
  ASSERT_EQ(platform::Registry().OpenKeyEx(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                           platform::kKeyWrite, &key),
            0);
  platform::Registry().DeleteValue(key, "CommonFilesDir");
  platform::Registry().CloseKey(key);
  state_.ItemEntryNames[6] = "Ivy.htm";
  EXPECT_FALSE(backup::BackupStationeries(context_));
  EXPECT_FALSE(backup::RestoreStationeries(context_));
  EXPECT_EQ(InfoText(), "");
}

// Names from a crafted backup that holds entries of those names: refused before
// anything is written anywhere, also when a good name comes first in a list.
TEST_P(BackupItemsTest, NamesThatAreNotBareFileNamesFailTheItemWithNothingWritten) {
  SeedAll();
  const std::vector<std::string> crafted = {"..\\..\\x.dbx", "C:\\x.dbx", "Inbox.dbx.",    "Inbox.dbx ",
                                            "CON.dbx",       "nul",       "Lpt1.txt",      "In\x01box.dbx",
                                            "a<b.dbx",       "../x.htm",  "..\\alice.wab", "\\\\server\\x.wab",
                                            "..\\OBA1.tmp",  "COM3",      "D:OBS1.tmp"};
  // A registry export that does not parse: the import is refused before the key is touched.
  std::vector<RawEntry> entries = {
      {"Inbox.dbx", "crafted"}, {"Ivy.htm", "crafted"}, {"OBSbad.tmp", "\\\r\n\"A\"= dw:1\r\nnot a value line\r\n"}};
  for (const std::string &name : crafted) entries.push_back({name, "crafted"});
  ASSERT_TRUE(MakeZipDirectly(dir_.File("crafted.soe"), entries));
  ASSERT_TRUE(state_.Zip1->OpenArchive(dir_.File("crafted.soe"))) << state_.Zip1->LastError();
  const auto before = LiveFiles();
  const auto treeBefore = TreeText(Full(VersionPath(kIdentityB)));
  const struct {
    int item;
    std::string value;
  } cases[] = {
      {3, "Inbox.dbx;..\\..\\x.dbx"},
      {3, "Inbox.dbx;C:\\x.dbx"},
      {3, "Inbox.dbx;Inbox.dbx."},
      {3, "Inbox.dbx;Inbox.dbx "},
      {3, "Inbox.dbx;CON.dbx"},
      {3, "Inbox.dbx;nul"},
      {3, "Inbox.dbx;Lpt1.txt"},
      {3, "Inbox.dbx;In\x01box.dbx"},
      {3, "Inbox.dbx;a<b.dbx"},
      {3, "Inbox.dbx;"},
      {3, "Inbox.dbx;Missing.dbx"},
      {6, "Ivy.htm;../x.htm"},
      {1, "..\\alice.wab"},
      {1, "\\\\server\\x.wab"},
      {0, "..\\OBA1.tmp"},
      {7, "COM3"},
      {7, "D:OBS1.tmp"},
      {7, "OBSbad.tmp"},
  };
  for (const auto &c : cases) {
    state_.ItemEntryNames[c.item] = c.value;
    EXPECT_FALSE(Items()[c.item].restore(context_, kIdentityB)) << c.value;
    EXPECT_EQ(LiveFiles(), before) << c.value;
  }
  EXPECT_FALSE(Files().FileExists("C:\\x.dbx"));
  EXPECT_FALSE(Exists("x.dbx"));
  EXPECT_EQ(TreeText(Full(VersionPath(kIdentityB))), treeBefore);
}

// The mail folders and the stationery come back all or nothing: a damaged third entry, free
// space one byte short of the item's total, a third live file that cannot be set aside or a
// third new file that cannot take its place each fail the item with every live file as it
// was and nothing of the restore left beside them.
TEST_P(BackupItemsTest, MailFoldersAndStationeryAreRestoredAllOrNothing) {
  SeedAll();
  const std::string sheets = "Common Files\\Microsoft Shared\\Stationery\\";
  EXPECT_EQ(WriteBackup("00010010"), "00010010");
  OpenBackup();
  const struct {
    int index;
    std::string from, to;
    std::vector<std::string> names;
  } items[] = {{3, "Store A\\", "Store B\\", kMailFolderFiles},
               {6, sheets, sheets, {"Ivy.htm", "Ivy.gif", "Ivy;2005.htm"}}};
  std::uint64_t totals[2] = {};
  std::string thirds[2];
  for (int i = 0; i < 2; ++i) {
    std::vector<std::string> names = items[i].names;  // in the order the backup lists them
    const std::string list = ";" + state_.ItemEntryNames[items[i].index] + ";";
    std::sort(names.begin(), names.end(),
              [&](auto &a, auto &b) { return list.find(";" + a + ";") < list.find(";" + b + ";"); });
    thirds[i] = names[2];
    for (const std::string &name : names) {
      totals[i] += Read(items[i].from + name).size();
      Write(items[i].to + name, "the live " + name);
    }
  }
  // A copy of the backup with the third entry of each item damaged; the six mail folders
  // come first.
  std::string zip = Read("backup.soe");
  auto number = [&](std::size_t at) {
    return static_cast<std::uint8_t>(zip[at]) + 256u * static_cast<std::uint8_t>(zip[at + 1]);
  };
  for (std::size_t header = zip.find("PK\x03\x04"), entry = 0; entry < 9;
       header = zip.find("PK\x03\x04", header + 4), ++entry) {
    if (entry != 2 && entry != 8) continue;
    const std::size_t data = header + 30 + number(header + 26) + number(header + 28);
    for (std::size_t at = data; at < data + 4; ++at) zip[at] = static_cast<char>(zip[at] ^ 0x5A);
  }
  Write("damaged.soe", zip);
  for (int fault = 0; fault < 4; ++fault) {
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(state_.Zip1->OpenArchive(Path(fault == 0 ? "damaged.soe" : "backup.soe")));
      FaultyFiles files;
      if (fault == 1) files.freeSpace = totals[i] - 1;
      if (fault == 2) files.Fail(FileCall::MoveReplace, "~qbr.old." + thirds[i]);
      if (fault == 3) files.Fail(FileCall::MoveReplace, "~qbr.new." + thirds[i], 1);
      platform::ScopedServices scope({.files = &files});
      const auto before = LiveFiles();
      EXPECT_FALSE(Items()[items[i].index].restore(context_, kIdentityB)) << "fault " << fault << ", item " << i;
      EXPECT_EQ(LiveFiles(), before) << "fault " << fault << ", item " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Registries, BackupItemsTest, ::testing::ValuesIn(RegistryBackends()), BackendName);

// The information file's own rules, apart from any registry.
class InformationFile : public ::testing::Test {
 protected:
  TempFolder dir_;
  std::string file_ = dir_.File("quarnel.dat");
};

TEST_F(InformationFile, DescriptionLinesTravelAsTheMarkAndOnlyCrLfPairsAreReplaced) {
  EXPECT_EQ(backup::EncodeDescription("first\r\nsecond\r\n"), "firstPS$QRNsecondPS$QRN");
  EXPECT_EQ(backup::EncodeDescription("lone\rcr\nlf"), "lone\rcr\nlf");
  EXPECT_EQ(backup::DecodeDescription("aPS$QRNbPS$QRN"), "a\r\nb\r\n");
  EXPECT_EQ(backup::SplitEntryNames("a.dbx;b.dbx;c"), (std::vector<std::string>{"a.dbx", "b.dbx", "c"}));
  EXPECT_EQ(backup::SplitEntryNames(""), std::vector<std::string>{""});
}

TEST_F(InformationFile, ReadingTakesTheFirstMatchInAnyCaseStopsAtAnEmptyLineAndCutsAtNul) {
  ASSERT_TRUE(WriteFileBytes(file_,
                             "BackupComputer=BOX\r\nno equals sign\r\nbackupitem=10010000\r\n"
                             "BackupItem=11111111\r\nBackupMails=Inbox.dbx\0junk\r\n"
                             "BackupInformation=a=bPS$QRNc\r\n\r\nBackupTime=after\r\n"s));
  backup::BackupInfo info = backup::ReadBackupInfo(file_);
  EXPECT_EQ(info.computer, "BOX");
  EXPECT_EQ(info.itemFlags, "10010000");
  EXPECT_EQ(info.description, "a=b\r\nc");
  EXPECT_EQ(info.time, "");
  EXPECT_EQ(info.entryNames[3], "Inbox.dbx");
  EXPECT_EQ(info.entryNames[0], "");

  ASSERT_TRUE(WriteFileBytes(file_, "BackupItem=1001000\r\nBackupAccounts=OBA1.tmp\r\n"));
  info = backup::ReadBackupInfo(file_);
  EXPECT_EQ(info.itemFlags, "1001000");
  EXPECT_EQ(info.entryNames[0], "");  // seven flags name no entries
}

TEST_F(InformationFile, BeginningReplacesAnOldFileAndWritesTheHeaderInOrder) {
  ASSERT_TRUE(WriteFileBytes(file_, "BackupItem=11111111\r\n"));
  backup::InfoHeader header{true, "BOX", "alice", "Main Identity", "05.12.2026 10:00:00", "two\r\nlines"};
  ASSERT_TRUE(backup::BeginInfoFile(file_, header));
  EXPECT_EQ(ReadFileBytes(file_),
            "BackupComputer=BOX\r\nBackupLogonUser=alice\r\nBackupIdentity=Main "
            "Identity\r\n"
            "BackupTime=05.12.2026 10:00:00\r\nBackupInformation=twoPS$QRNlines\r\n");
  header.withOrigin = false;
  header.description = "Auto Backup";
  ASSERT_TRUE(backup::BeginInfoFile(file_, header));
  EXPECT_EQ(ReadFileBytes(file_),
            "BackupIdentity=Main Identity\r\nBackupTime=05.12.2026 "
            "10:00:00\r\nBackupInformation=Auto Backup\r\n");
  EXPECT_FALSE(backup::BeginInfoFile(dir_.File("no folder\\quarnel.dat"), header));
}

}  // namespace
}  // namespace quarnel::testing
