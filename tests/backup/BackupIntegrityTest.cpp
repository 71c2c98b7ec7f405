// A protected backup altered without its password (entries' methods, sizes and names are
// outside what the password authenticates) changes nothing when restored; an information
// file no backup of ours would carry is refused before it is written anywhere.
#include <zip.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/Jobs.h"
#include "app/Settings.h"
#include "archive/ArchiveTestSupport.h"
#include "backup/InfoFile.h"
#include "backup/ItemsFixture.h"
#include "backup/UnattendedBackup.h"
#include "mailclient/Identities.h"
#include "support/FakeMainView.h"
#include "support/FaultyFiles.h"

namespace quarnel::testing {
namespace {

using app::Control;

constexpr std::uint32_t kAesOverhead = 16 + 2 + 10;  // AES-256 salt, verifier, code

class BackupIntegrityTest : public ItemsTest {
 protected:
  void SetUp() override {
    ItemsTest::SetUp();
    SeedAll();
    mailclient::BuildIdentityList(state_);
    view_.controls[Control::cbSource].items = view_.controls[Control::cbTarget].items = {"Main Identity", "Work"};
    view_.controls[Control::cbTarget].index = 1;
  }
  void TearDown() override {
    app::CommandLine().clear();
    ItemsTest::TearDown();
  }
  // Identity B as seeded, whatever a restore put there.
  void SeedB() {
    RemoveTree(IdentityPath(kIdentityB));
    for (const std::string& name : platform::Files().ListFiles(Path("Store B"))) {
      platform::Files().RemoveFile(Path("Store B\\" + name));
    }
    SeedAll();
  }
  void Open(const std::string& file, const std::string& password) {
    view_.dialogAnswer = Path(file);
    view_.onModal = [this, password](app::ModalWindow) { state_.RestorePassword = password; };
    app::OpenBackupFile(state_, view_);
  }
  // What a restore into identity B would change.
  std::string IdentityB() {
    std::string files;
    for (const std::string& name : platform::Files().ListFiles(Path("Store B"))) {
      files += name + Read("Store B\\" + name);
    }
    return Tree(IdentityPath(kIdentityB)) + files;
  }
  // Every item into identity B.
  void Restore(const std::string& file) {
    messages_.shown.clear();
    Open(file, "s3cret");
    ASSERT_FALSE(state_.NoValidBackupFile) << file;
    for (int i = 0; i < app::kItemCount; ++i) view_.items[1][i].checked = true;
    app::RunRestoreJob(state_, view_);
  }
  std::string LastMessage() const { return messages_.shown.empty() ? "" : messages_.shown.back().text; }

  FakeMainView view_;
};

void SwapNames(std::string& zip, const CentralEntry& a, const CentralEntry& b) {
  for (auto [entry, name] : {std::pair{a, b.name}, std::pair{b, a.name}}) {
    zip.replace(entry.localAt + 30, name.size(), name);
    zip.replace(entry.centralAt + 46, name.size(), name);
  }
}

TEST_P(BackupIntegrityTest, AnAlteredProtectedBackupRestoresNothingWhicheverRunWroteIt) {
  using Entries = std::map<std::string, CentralEntry>;
  const std::uint32_t inboxSize = static_cast<std::uint32_t>(Read("Store A\\Inbox.dbx").size());
  const struct {
    const char* what;
    std::function<void(std::string& zip, const Entries& entries)> alter;
  } alterations[] = {
      {"Inbox.dbx stored, its size that of its deflated bytes",
       [](std::string& zip, const Entries& entries) {
         SetAesField(zip, entries.at("Inbox.dbx"), 2, 0);
         SetStatedSize(zip, entries.at("Inbox.dbx"), entries.at("Inbox.dbx").compressedSize - kAesOverhead);
       }},
      {"Inbox.dbx one byte longer",
       [&](std::string& zip, const Entries& entries) { SetStatedSize(zip, entries.at("Inbox.dbx"), inboxSize + 1); }},
      {"two mail folders' names swapped",
       [](std::string& zip, const Entries& entries) {
         SwapNames(zip, entries.at("Inbox.dbx"), entries.at("a;b;c.dbx"));
       }},
  };
  // Identity B is left as it was by every altered backup, then restored from each as written.
  for (bool unattended : {false, true}) {
    if (unattended) {
      app::CommandLine() = "sf=Main Identityxm=11111111ps=s3cretbf=" + Path("backup.soe");
      ASSERT_EQ(app::RunUnattendedBackup(state_, view_), backup::kUnattendedCompleted);
    } else {
      view_.controls[Control::cbSource].index = 0;
      view_.controls[Control::ifprotect].checked = true;
      view_.controls[Control::txtPassword].text = view_.controls[Control::txtPassword2].text = "s3cret";
      for (int i = 0; i < app::kItemCount; ++i) view_.items[0][i].checked = true;
      state_.TargetPath = Path("backup.soe");
      app::RunBackupJob(state_, view_);
    }
    const std::string written = Read("backup.soe");
    Entries entries;
    for (const CentralEntry& entry : CentralDirectory(written)) entries[entry.name] = entry;
    SeedB();
    const std::string before = IdentityB();
    for (const auto& alteration : alterations) {
      std::string bytes = written;
      alteration.alter(bytes, entries);
      Write("altered.soe", bytes);
      Restore("altered.soe");
      EXPECT_EQ(LastMessage(), "Invalid backup file.") << alteration.what << unattended;
      EXPECT_TRUE(IdentityB() == before) << alteration.what << unattended;
    }
    Restore("backup.soe");
    EXPECT_EQ(LastMessage().find("Fail!"), std::string::npos) << LastMessage();
    EXPECT_TRUE(Read("Store B\\Inbox.dbx") == Read("Store A\\Inbox.dbx"));
    EXPECT_FALSE(IdentityB() == before);
  }
}

TEST_P(BackupIntegrityTest, AnInformationFileNoBackupOfOursCarriesIsInvalidAndNeverWritten) {
  const std::string lines = "BackupIdentity=Main Identity\r\nBackupItem=00010000\r\nBackupMails=Inbox.dbx\r\n";
  const std::string cases[] = {
      lines + "Padding=" + std::string(backup::kInfoFileLimit, 'x') + "\r\n",  // a few KB deflated
      lines + "BackupEntries=Inbox.dbx:4:0000000G\r\n",
      lines + "BackupEntries=Inbox.dbx:4\r\n",
  };
  for (const std::string& info : cases) {
    const std::string name = "crafted" + std::to_string(&info - cases) + ".soe";  // the one before stays open
    ASSERT_TRUE(MakeZipDirectly(dir_.File(name), {{"Inbox.dbx", "mail"}, {"quarnel.dat", info}}, "pw", ZIP_EM_AES_256));
    messages_.shown.clear();
    FaultyFiles files;
    platform::ScopedServices watch({.files = &files});
    Open(name, "pw");
    EXPECT_EQ(LastMessage(), "Invalid backup file") << info.substr(info.size() - 30);
    EXPECT_TRUE(state_.NoValidBackupFile);
    EXPECT_EQ(files.PathsOf(FileCall::MoveReplace).empty(), &info == &cases[0]);  // too large: not extracted
    EXPECT_FALSE(Exists("quarnel.dat"));
  }
}

INSTANTIATE_TEST_SUITE_P(Memory, BackupIntegrityTest, ::testing::Values(RegistryBackends().front()), BackendName);

}  // namespace
}  // namespace quarnel::testing
