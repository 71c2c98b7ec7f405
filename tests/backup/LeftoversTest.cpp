// What runs that were ended before their time leave, and its removal by the next job: only
// the program's own names, only files no process has open, only while no other run is
// under way; a live file only a restore's kept copy holds is put back.
#include <memory>
#include <string>
#include <vector>

#include "app/RunMark.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/ItemsFixture.h"
#include "backup/BackupItems.h"
#include "backup/Leftovers.h"
#include "support/FaultyFiles.h"

namespace quarnel::testing {
namespace {

using platform::Files;
using Names = std::vector<std::string>;

constexpr const char* kStationery = "Common Files\\Microsoft Shared\\Stationery";

class LeftoversTest : public ItemsTest {
 protected:
  void SetUp() override {
    ItemsTest::SetUp();
    SeedAll();
    MakeFolder("Backups");
  }
  // Files whose content is their name.
  void Leave(const std::string& folder, const Names& names) {
    for (const std::string& name : names) Write(folder + "\\" + name, name);
  }
  Names Listing(const std::string& folder) { return FolderListing(Path(folder)); }
  void RunJob() { backup::JobMark mark(Path("Backups\\main.soe"), std::string(kIdentityA)); }
};

TEST_P(LeftoversTest, AJobRemovesOnlyWhatRunsLeftInItsFoldersAndPutsBackWhatOnlyARestoreKept) {
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

  RunJob();
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

TEST_P(LeftoversTest, WhileAnotherRunIsUnderWayNothingIsRemovedAndTheMarkGoesWithTheLastRun) {
  Leave(".", {"OBA1.tmp", "quarnel.dat"});
  Leave("Backups", {"~qb7.tmp"});
  std::unique_ptr<platform::HeldFile> other = Files().Hold(Path("quarnel.run"), false);
  ASSERT_TRUE(other);
  EXPECT_TRUE(app::RunUnderWay());
  RunJob();
  EXPECT_EQ(Listing(""), (Names{"OBA1.tmp", "quarnel.dat", "quarnel.run"}));
  EXPECT_EQ(Listing("Backups"), (Names{"~qb7.tmp"}));
  other.reset();
  EXPECT_FALSE(app::RunUnderWay());
  RunJob();
  EXPECT_EQ(Listing(""), Names{});
  EXPECT_EQ(Listing("Backups"), Names{});
}

TEST_P(LeftoversTest, OldCopiesARestoreCouldNotRemoveGoLaterAndTheRestoredFilesStay) {
  WriteBackup("00010000");
  OpenBackup();
  {
    FaultyFiles files;
    files.Fail(FileCall::RemoveFile, "~qbr.old.");
    platform::ScopedServices faulty({.files = &files});
    ASSERT_TRUE(backup::Items()[3].restore(context_, kIdentityB));
  }
  ASSERT_TRUE(Exists("Store B\\~qbr.old.Inbox.dbx.tmp"));
  { backup::JobMark restoring("", std::string(kIdentityB)); }
  EXPECT_FALSE(Exists("Store B\\~qbr.old.Inbox.dbx.tmp"));
  EXPECT_FALSE(Exists("Store B\\~qbr.done.tmp"));
  EXPECT_TRUE(Read("Store B\\Inbox.dbx") == Read("Store A\\Inbox.dbx"));
}

INSTANTIATE_TEST_SUITE_P(Registries, LeftoversTest, ::testing::ValuesIn(RegistryBackends()), BackendName);

}  // namespace
}  // namespace quarnel::testing
