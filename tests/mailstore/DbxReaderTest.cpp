// The mail-folder reader on folder files from the test writer, intact and
// damaged as disks and crashed programs damage them; natively also Debian's
// undbx, an independent reader of the format, on the same files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>

#include "mailexport/MailSources.h"
#include "mailstore/DbxFile.h"
#include "mailstore/MailTestFiles.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::testing {
namespace {

using mailstore::DbxFile;
using mailstore::MessageRead;

void Poke32(std::string &file, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
}

std::uint32_t Peek32(const std::string &file, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(file[at + i]);
  return v;
}

struct ReadBack {
  std::set<int> complete;  // samples read whole and equal to what was written
  int damaged = 0;         // messages whose text could not be read
  std::uint64_t unreadable = 0;
  int visits = 0;
};

ReadBack Read(const std::string &file, const std::vector<DbxMessageSpec> &specs, const std::vector<DbxPlaced> &placed) {
  mailstore::MemoryInput input(file);
  DbxFile dbx(input);
  ReadBack r;
  r.unreadable =
      dbx.ForEachMessage([&](const mailstore::DbxMessage &m) {
           ++r.visits;
           std::string text;
           auto sink = [&](const char *d, std::size_t n) { return text.append(d, n), true; };
           if (m.firstBlock == 0) return true;
           if (dbx.ReadMessage(m, sink) != MessageRead::kComplete) return ++r.damaged, true;
           for (std::size_t i = 0; i < placed.size(); ++i) {
             const DbxMessageSpec &s = specs[i];
             if (placed[i].info == m.infoOffset && s.text == text && s.subject == m.subject && s.sent == m.sentTime) {
               r.complete.insert(static_cast<int>(i));
             }
           }
           return true;
         })
          .unreadable;
  return r;
}

struct DamageCase {
  const char *name;
  std::function<void(std::string &file, const std::vector<DbxPlaced> &placed)> damage;
  std::set<int> complete;
  int damaged;
  std::uint64_t unreadable;
  bool undbxAgrees = false;  // undbx reads the same messages from it as we do
};

const std::set<int> kAllWithText = {kPlain, kEightBit, kMultipart, kAttachments, kAwkward, kNoSubject};
const std::set<int> kNone;

std::set<int> Without(int sample) {
  std::set<int> s = kAllWithText;
  s.erase(sample);
  return s;
}

const DamageCase kDamage[] = {
    {"intact", [](std::string &, auto &) {}, kAllWithText, 0, 0, true},
    {"marker of a description overwritten", [](std::string &f, auto &p) { Poke32(f, p[kMultipart].info, 0x1234); },
     kAllWithText, 0, 0, true},
    {"index points into zeros", [](std::string &f, auto &) { Poke32(f, Peek32(f, 0xE4) + 0x18 + 2 * 12, 0x2AD8); },
     Without(kMultipart), 0, 1},
    // A stale copy of a node (its marker gone) that lists a message again: not walked.
    {"index child points to a stale node",
     [](std::string &f, auto &p) {
       std::string node(0x18 + 12, '\0');
       node[0x11] = 1;
       Poke32(node, 0x18, p[kPlain].info);
       Poke32(f, Peek32(f, 0xE4) + 0x18 + 4, static_cast<std::uint32_t>(f.size()));
       f += node;
     },
     kAllWithText, 0, 0},
    {"description longer than the file", [](std::string &f, auto &p) { Poke32(f, p[kPlain].info + 4, 0x7FFFFFF0); },
     Without(kPlain), 0, 1},
    {"chain of blocks loops",
     [](std::string &f, auto &p) { Poke32(f, p[kAttachments].blocks.back() + 12, p[kAttachments].blocks[7]); },
     Without(kAttachments), 1, 0},
    {"marker of a block overwritten", [](std::string &f, auto &p) { Poke32(f, p[kAttachments].blocks[200], 7); },
     kAllWithText, 0, 0, true},
    {"block zeroed in the middle of a chain",
     [](std::string &f, auto &p) { f.replace(p[kAttachments].blocks[200], 16, 16, '\0'); }, Without(kAttachments), 1,
     0},
    {"block states more text than it has room for",
     [](std::string &f, auto &p) { Poke32(f, p[kEightBit].blocks[0] + 8, 0x201); }, Without(kEightBit), 1, 0, true},
    {"chain points past the end of the file",
     [](std::string &f, auto &p) { Poke32(f, p[kPlain].blocks[0] + 12, 0x7FFFFFF0); }, Without(kPlain), 1, 0},
    {"index node is its own child", [](std::string &f, auto &) { Poke32(f, Peek32(f, 0xE4) + 8, Peek32(f, 0xE4)); },
     kAllWithText, 0, 0},
    {"index root beyond the file", [](std::string &f, auto &) { Poke32(f, 0xE4, 0x7FFFFF00); }, kNone, 0, 7},
    {"header states more messages than the index holds", [](std::string &f, auto &) { Poke32(f, 0xC4, 9); },
     kAllWithText, 0, 2},
    {"file cut short inside a message", [](std::string &f, auto &p) { f.resize(p[kAttachments].blocks[100]); }, kNone,
     0, 7},
};

// The sample messages' folder file with the damage done.
std::string Damaged(const DamageCase &c, std::vector<DbxPlaced> *placed) {
  DbxWriter writer;
  for (const DbxMessageSpec &m : SampleMessages()) placed->push_back(writer.AddMessage(m));
  std::string file = writer.Finish();
  c.damage(file, *placed);
  return file;
}

TEST(DbxReaderTest, ReadsEveryIntactMessageAndCountsTheDamagedOnes) {
  for (const DamageCase &c : kDamage) {
    SCOPED_TRACE(c.name);
    std::vector<DbxPlaced> placed;
    const ReadBack r = Read(Damaged(c, &placed), SampleMessages(), placed);
    EXPECT_EQ(r.complete, c.complete);
    EXPECT_EQ(r.damaged, c.damaged);
    EXPECT_EQ(r.unreadable, c.unreadable);
    EXPECT_LE(r.visits, 7) << "a message was handed on twice";
  }
}

// Thousands of messages need an index of three levels; a broken link inside it
// costs the messages below it and no others, and those are counted.
TEST(DbxReaderTest, WalksADeepIndexInOrderAndCountsALostBranch) {
  DbxWriter writer;
  std::vector<DbxPlaced> placed;
  std::vector<DbxMessageSpec> specs(3000);
  for (std::size_t i = 0; i < specs.size(); ++i) {
    specs[i].subject = "Message " + std::to_string(i);
    specs[i].text = "Subject: " + specs[i].subject + "\r\n\r\nBody\r\n";
    specs[i].sent = FileTimeAt(i);
    placed.push_back(writer.AddMessage(specs[i]));
  }
  std::string file = writer.Finish();
  const std::uint32_t entry = Peek32(file, 0xE4) + 0x18;  // the root's first: its child pointer goes astray
  const std::uint32_t lost = Peek32(file, entry + 8);
  Poke32(file, entry + 4, 0x2AD8);
  const ReadBack r = Read(file, specs, placed);
  EXPECT_GT(lost, 50u);
  EXPECT_EQ(r.complete.size() + lost, specs.size());
  EXPECT_EQ(r.unreadable, lost);
  EXPECT_EQ(r.visits, static_cast<int>(specs.size() - lost));
}

#ifndef _WIN32
// Debian's undbx against the test writer (from the intact file it must take
// exactly the messages written) and against our reader: the same message bytes
// in the .eml files (the mbox files hold what the .eml files hold, quoted as the
// mbox test checks).
TEST(UndbxInteropTest, UndbxAndOurExportFindTheSameMessageBytes) {
  if (std::system("undbx --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "undbx is not installed (Debian package undbx; scripts/bootstrap installs it)";
  }
  for (const DamageCase &c : kDamage) {
    if (!c.undbxAgrees) continue;
    SCOPED_TRACE(c.name);
    TempFolder temp;
    std::vector<DbxPlaced> placed;
    ASSERT_TRUE(WriteFileBytes(temp.File("Inbox.dbx"), Damaged(c, &placed)));
    const std::string command =
        "undbx -v 0 '" + temp.File("Inbox.dbx") + "' '" + temp.File("undbx") + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> theirs = EmlTexts(temp.File("undbx/Inbox"));
    std::erase(theirs, "");  // undbx's files of messages without text, which we leave out
    if (std::string(c.name) == "intact") {
      EXPECT_TRUE(theirs == StoredTexts()) << "undbx reads other messages than written";
    }
    mailexport::DbxFileSource source(temp.File("Inbox.dbx"));
    mailexport::ExportMail(source, temp.File("eml"), mailexport::ExportFormat::kEml);
    EXPECT_TRUE(EmlTexts(temp.File("eml/Inbox")) == theirs) << "our .eml files differ from undbx's";
  }
}
#endif

}  // namespace
}  // namespace quarnel::testing
