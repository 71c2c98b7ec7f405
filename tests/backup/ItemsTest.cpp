// The eight items, the information file and the leftovers of ended runs.
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "backup/BackupItems.h"
#include "backup/InfoFile.h"
#include "backup/ItemsFixture.h"
#include "backup/Leftovers.h"
#include "mailclient/Locations.h"
#include "support/FaultyFiles.h"

namespace quarnel::testing {
namespace {

using backup::Items;
using mailclient::kUserAccountsKey;
using namespace std::string_literals;
using platform::Files;
using Names = std::vector<std::string>;

class BackupItemsTest : public ItemsTest {
 protected:
  void TearDown() override {
    EXPECT_TRUE(messages.shown.empty()) << "an item showed a message";
    ItemsTest::TearDown();
  }
  void BeginArchive() {
    state_.Zip1->NewArchive(Path("other.soe"));
    Files().RemoveFile(state_.InfoFilePath);
  }
  // Files whose content is their name.
  void Leave(const std::string &folder, const Names &names) {
    for (const std::string &name : names) Write(folder + "\\" + name, name);
  }
  Names Listing(const std::string &folder) { return FolderListing(Path(folder)); }
};

// A key missing at the backup (block senders never used) travels as an empty tree.
TEST_F(BackupItemsTest, EveryItemRoundTripsIntoASecondIdentityThroughAProtectedArchive) {
  SeedAll();
  RemoveTree(VersionPath(kIdentityA, "Block Senders"));
  EXPECT_EQ(WriteBackup("11111111", "s3cret pass"), "11111111");
  EXPECT_EQ(pumps_, 6);                                                          // once after every mail folder file
  EXPECT_EQ(FolderListing(dir.path()), std::vector<std::string>{"backup.soe"});  // no export, no quarnel.dat
  EXPECT_EQ(OpenBackup("s3cret pass"), "11111111");
  // Every mail folder once in the ";"-list, the names holding ";" too.
  const std::string mails = ";" + state_.ItemEntryNames[3] + ";";
  std::size_t joined = kMailFolderFiles.size() + 1;
  for (const std::string &name : kMailFolderFiles) {
    EXPECT_NE(mails.find(";" + name + ";"), std::string::npos) << name;
    joined += name.size();
  }
  EXPECT_EQ(mails.size(), joined);

  // Since the backup the address book was renamed (a file of the old name is not it), the
  // stationery folder went missing and the second identity blocked a sender.
  Write("Address Book\\Anna M\xFCller.wab", "the current book");
  PutText(mailclient::kAddressBookKey, "", Path("Address Book\\Anna M\xFCller.wab"));
  Write("Address Book\\alice.wab", "merely the recorded name");
  MakeFolder("Common Files 2\\Microsoft Shared");
  PutText(mailclient::kCurrentVersionKey, "CommonFilesDir", Path("Common Files 2"));
  PutText(VersionPath(kIdentityB, "Block Senders\\Mail\\Criteria\\7"), "Criteria", "gone after the restore");
  for (int i = 0; i < app::kItemCount; ++i) EXPECT_TRUE(Items()[i].restore(context_, kIdentityB)) << "item " << i;
  EXPECT_EQ(Tree(IdentityPath(kIdentityB, "Software\\Microsoft\\Internet Account Manager")),
            Tree(IdentityPath(kIdentityA, "Software\\Microsoft\\Internet Account Manager")));
  for (const char *below : {"Rules", "Block Senders", "signatures", "Mail"}) {
    EXPECT_EQ(Tree(VersionPath(kIdentityB, below)), Tree(VersionPath(kIdentityA, below))) << below;
  }
  for (const std::string &name : kMailFolderFiles) {
    EXPECT_TRUE(Read("Store B\\" + name) == Read("Store A\\" + name)) << name;
  }
  EXPECT_FALSE(Exists("Store B\\notes.txt"));
  EXPECT_TRUE(Read("Address Book\\Anna M\xFCller.wab") == MailLikeText(5000, 4));
  EXPECT_EQ(Read("Address Book\\alice.wab"), "merely the recorded name");
  for (const std::string name : {"Ivy.htm", "Ivy.gif", "Ivy;2005.htm"}) {
    EXPECT_EQ(Read("Common Files 2\\Microsoft Shared\\Stationery\\" + name), Read(kStationery + "\\"s + name));
  }
  // The registry entries were extracted under names of their own and removed again.
  EXPECT_EQ(FolderListing(dir.path()), std::vector<std::string>{"backup.soe"});
}

// An item that finds nothing to back up (or nowhere to restore to) fails, records nothing and
// writes nothing; the accounts without any accounts key have nothing to restore and succeed.
TEST_F(BackupItemsTest, AnItemThatFindsNothingFailsWithNothingRecordedOrWritten) {
  const std::string wab = mailclient::kAddressBookKey, common = mailclient::kCurrentVersionKey;
  const struct {
    const char *what;
    std::function<void()> change;
    std::vector<int> items;
    std::optional<bool> restored;  // none: not tried
  } cases[] = {
      {"no version key", [&] { RemoveTree(VersionPath(kIdentityB)); }, {2, 3, 4, 5, 7}, false},
      {"no address book key", [&] { RemoveTree(wab); }, {1}, false},
      {"no common files folder", [&] { PutText(common, "CommonFilesDir", Path("nowhere")); }, {6}, std::nullopt},
      {"no accounts key anywhere",
       [&] {
         RemoveTree(IdentityPath(kIdentityB, "Software\\Microsoft\\Internet Account Manager"));
         RemoveTree(kUserAccountsKey);
       },
       {0},
       true},
  };
  SeedAll();
  WriteBackup();
  for (const auto &c : cases) {
    SeedAll();
    c.change();
    const auto files = LiveFiles();
    const std::string trees = Tree(IdentityPath(kIdentityB)) + Tree(kUserAccountsKey);
    BeginArchive();
    for (int i : c.items) EXPECT_FALSE(Items()[i].backup(context_, kIdentityB)) << c.what << ", item " << i;
    EXPECT_EQ(InfoText(), "") << c.what;
    if (c.restored) {
      OpenBackup();
      for (int i : c.items) EXPECT_EQ(Items()[i].restore(context_, kIdentityB), *c.restored) << c.what << ", " << i;
    }
    EXPECT_EQ(LiveFiles(), files) << c.what;
    EXPECT_EQ(Tree(IdentityPath(kIdentityB)) + Tree(kUserAccountsKey), trees) << c.what;
    state_.Zip1->CloseArchive();
  }
}

// Names from a crafted backup that holds entries of those names: refused before anything is
// written anywhere, also when a good name comes first in a list.
TEST_F(BackupItemsTest, NamesThatAreNotBareFileNamesFailTheItemWithNothingWritten) {
  SeedAll();
  std::vector<RawEntry> entries = {{"OBSbad.tmp", "\\\r\n\"A\"= dw:1\r\nnot a value line\r\n"}};
  for (const char *name : {"Inbox.dbx", "..\\..\\x.dbx", "CON.dbx", "Ivy.htm", "../x.htm", "..\\alice.wab",
                           "\\\\server\\x.wab", "..\\OBA1.tmp", "D:OBS1.tmp"}) {
    entries.push_back({name, "crafted"});
  }
  ASSERT_TRUE(MakeZipDirectly(dir.File("crafted.soe"), entries));
  ASSERT_TRUE(state_.Zip1->OpenArchive(Path("crafted.soe"))) << state_.Zip1->LastError();
  const auto before = LiveFiles();
  const std::string tree = Tree(VersionPath(kIdentityB));
  // "<item> <the names its entry names give>"; OBSbad.tmp an export that does not parse.
  for (const std::string c : {"3 Inbox.dbx;..\\..\\x.dbx", "3 Inbox.dbx;CON.dbx", "3 Inbox.dbx;",
                              "3 Inbox.dbx;Missing.dbx", "6 Ivy.htm;../x.htm", "1 ..\\alice.wab", "1 \\\\server\\x.wab",
                              "0 ..\\OBA1.tmp", "7 D:OBS1.tmp", "7 OBSbad.tmp"}) {
    state_.ItemEntryNames[c[0] - '0'] = c.substr(2);
    EXPECT_FALSE(Items()[c[0] - '0'].restore(context_, kIdentityB)) << c;
    EXPECT_EQ(LiveFiles(), before) << c;
  }
  EXPECT_FALSE(Exists("x.dbx"));
  EXPECT_EQ(Tree(VersionPath(kIdentityB)), tree);
}

// The mail folders and the stationery come back all or nothing, the address book whole or
// not at all: a damaged entry, free space one byte short of the item's total, a live file
// that cannot be set aside or a new file that cannot take its place each fail the item with
// every live file as it was and nothing of the restore left beside them.
TEST_F(BackupItemsTest, FilesAreRestoredAllOrNothing) {
  SeedAll();
  EXPECT_EQ(WriteBackup("01010010"), "01010010");
  OpenBackup();
  const Names sheets = {"Ivy.htm", "Ivy.gif", "Ivy;2005.htm"};
  std::uint64_t totals[2] = {};  // what the mail folders and the sheets need on the disk
  for (const std::string &name : kMailFolderFiles) totals[0] += Read("Store A\\" + name).size();
  for (const std::string &name : sheets) totals[1] += Read(kStationery + "\\"s + name).size();
  for (const std::string &name : kMailFolderFiles) Write("Store B\\" + name, "the live " + name);
  Write(kStationery + "\\Ivy;2005.htm"s, "the live sheet");
  // A copy with the last entry of each item damaged: the archive holds them in the backup's
  // order, the address book, the six mail folders, the three sheets.
  std::string zip = Read("backup.soe");
  const std::vector<CentralEntry> entries = CentralDirectory(zip);
  for (std::size_t last : {0, 6, 9}) {
    while (entries[last].compressedSize < 8) --last;  // an empty folder has nothing to damage
    const std::size_t data = DataAt(zip, entries[last]);
    for (std::size_t at = data; at < data + 4; ++at) zip[at] = static_cast<char>(zip[at] ^ 0x5A);
  }
  Write("damaged.soe", zip);
  auto lastListed = [&](int item, const Names &names) {
    return *std::find_if(names.begin(), names.end(), [&](const std::string &name) {
      return (";" + state_.ItemEntryNames[item]).ends_with(";" + name);
    });
  };
  const struct {
    int item;
    std::string last;  // the last file the item restores
    std::uint64_t total;
  } items[] = {
      {3, lastListed(3, kMailFolderFiles), totals[0]}, {6, lastListed(6, sheets), totals[1]}, {1, "alice.wab", 0}};
  for (int fault = 0; fault < 4; ++fault) {
    for (const auto &[item, last, total] : items) {
      if (item == 1 && fault > 0) continue;  // a single file: nothing set aside to put back
      ASSERT_TRUE(state_.Zip1->OpenArchive(Path(fault == 0 ? "damaged.soe" : "backup.soe")));
      FaultyFiles files;
      if (fault == 1) files.freeSpace = total - 1;
      if (fault == 2) files.Fail(FileCall::MoveReplace, "~qbr.old." + last);
      if (fault == 3) files.Fail(FileCall::MoveReplace, "~qbr.new." + last, 1);
      platform::ScopedServices scope({.files = &files});
      const auto before = LiveFiles();
      EXPECT_FALSE(Items()[item].restore(context_, kIdentityB)) << "fault " << fault << ", item " << item;
      EXPECT_EQ(LiveFiles(), before) << "fault " << fault << ", item " << item;
    }
  }
  // Old copies the restore could not remove are removed by the next job; the new files stay.
  {
    FaultyFiles files;
    files.Fail(FileCall::RemoveFile, "~qbr.old.");
    platform::ScopedServices faulty({.files = &files});
    ASSERT_TRUE(backup::RestoreMails(context_, kIdentityB));
  }
  ASSERT_TRUE(Exists("Store B\\~qbr.old.Inbox.dbx.tmp"));
  { backup::JobMark restoring("", std::string(kIdentityB)); }
  EXPECT_EQ(FolderListing(Path("Store B")).size(), kMailFolderFiles.size());
  EXPECT_TRUE(Read("Store B\\Inbox.dbx") == Read("Store A\\Inbox.dbx"));
}

// What runs ended before their time leave is removed by the next job: only the program's
// own names, only files no process has open, only while no other run is under way; a live
// file only a restore's kept copy holds is put back.
TEST_F(BackupItemsTest, AJobRemovesOnlyWhatRunsLeftInItsFoldersAndPutsBackWhatOnlyARestoreKept) {
  SeedAll();
  MakeFolder("Backups");
  // Beside the program's own names, near misses that may be the user's.
  Leave(".",
        {"OBA1F.tmp", "OBRabcd.TMP", "OBI2.tmp", "OBS3.tmp", "qrn4.tmp", "~qb5.tmp", "~qb5.tmp.0073840e", "quarnel.dat",
         "OBX1.tmp", "OBA12345.tmp", "OBA1.tmp.bak", "~qbnotes.tmp", "~qb6.tmp.a-b", "~qb6.tmp.123456789"});
  Leave("Backups", {"~qb7.tmp", "~qb7.tmp.a1B2c3", "OBA8.tmp", "main.soe", "~qb9.tmp"});
  std::unique_ptr<platform::HeldFile> open = Files().Hold(Path("Backups\\~qb9.tmp"), false);
  ASSERT_TRUE(open);
  // A restore of store A ended half way: Inbox.dbx only under its kept name, a.dbx replaced
  // already, a staged file still waiting.
  const std::string inbox = Read("Store A\\Inbox.dbx"), a = Read("Store A\\a.dbx");
  ASSERT_TRUE(Files().MoveReplace(Path("Store A\\Inbox.dbx"), Path("Store A\\~qbr.old.Inbox.dbx.tmp")));
  ASSERT_TRUE(Files().MoveReplace(Path("Store A\\a.dbx"), Path("Store A\\~qbr.old.a.dbx.tmp")));
  Leave("Store A", {"a.dbx", "~qbr.new.Folders.DBX.tmp", "~qb1.tmp"});
  // A restore of the stationery ended while it removed the old copies: every new file in place.
  Leave(kStationery, {"~qbr.old.Ivy.htm.tmp", "~qbr.done.tmp"});
  Leave("Address Book", {"~qbA.tmp"});

  // While another run is under way nothing is touched.
  std::unique_ptr<platform::HeldFile> other = Files().Hold(Path("quarnel.run"), false);
  ASSERT_TRUE(other);
  const Names data = Listing(""), store = Listing("Store A");
  { backup::JobMark mark(Path("Backups\\main.soe"), std::string(kIdentityA)); }
  EXPECT_EQ(Listing(""), data);
  EXPECT_EQ(Listing("Store A"), store);
  other.reset();

  { backup::JobMark mark(Path("Backups\\main.soe"), std::string(kIdentityA)); }
  EXPECT_EQ(Listing(""),
            (Names{"OBA1.tmp.bak", "OBA12345.tmp", "OBX1.tmp", "~qb6.tmp.123456789", "~qb6.tmp.a-b", "~qbnotes.tmp"}));
  EXPECT_EQ(Listing("Backups"), (Names{"OBA8.tmp", "main.soe", "~qb9.tmp"}));
  EXPECT_EQ(Listing("Store A"), (Names{"Folders.DBX", "Gel\xF6schte Objekte.dbx", "Inbox.dbx", "Old;2005.dbx", "a.dbx",
                                       "a;b;c.dbx", "notes.txt"}));
  EXPECT_TRUE(Read("Store A\\Inbox.dbx") == inbox);
  EXPECT_TRUE(Read("Store A\\a.dbx") == a);  // the item back as it was before the restore
  EXPECT_EQ(Listing(kStationery), (Names{"Ivy.gif", "Ivy.htm", "Ivy;2005.htm"}));
  EXPECT_EQ(Read(std::string(kStationery) + "\\Ivy.htm"), "<html>ivy</html>");
  EXPECT_EQ(Listing("Address Book"), (Names{"alice.wab"}));
}

// A file as the program has always written it: each item's key, one name or a ";"-list,
// read with the first line of a key in any letter case and a name cut at a NUL.
TEST(InformationFile, EveryKeyOfAnEarlierBackupIsReadBack) {
  TempFolder dir;
  const std::string file = dir.File("quarnel.dat");
  ASSERT_TRUE(WriteFileBytes(file,
                             "BackupIdentity=Main Identity\r\nBackupInformation=Moving; all=yesPS$QRNdone\r\n"
                             "BACKUPACCOUNTS=OBA1F.tmp\r\nBackupAddressBook=anna.wab\0junk\r\n"
                             "BackupRules=OBR20.tmp\r\nBackupMails=Inbox.dbx;Old;2005.dbx\r\n"
                             "BackupBlocksenders=OBR21.tmp\r\nBackupSignatures=OBR22.tmp\r\n"
                             "BackupStationeries=Ivy.htm;Ivy;2005.htm\r\nBackupSettings=OBS23.tmp\r\n"
                             "backupitem=11111011\r\nBackupItem=00000000\r\n"s));
  const backup::BackupInfo info = backup::ReadBackupInfo(file);
  EXPECT_EQ(info.identity, "Main Identity");
  EXPECT_EQ(info.description, "Moving; all=yes\r\ndone");
  EXPECT_EQ(info.itemFlags, "11111011");
  const std::array<std::string, app::kItemCount> names = {
      "OBA1F.tmp", "anna.wab", "OBR20.tmp", "Inbox.dbx;Old;2005.dbx", "OBR21.tmp", "", "Ivy.htm;Ivy;2005.htm",
      "OBS23.tmp"};
  EXPECT_EQ(info.entryNames, names);
}

}  // namespace
}  // namespace quarnel::testing
