// The mail-folder reader on folder files from the test writer, intact and
// damaged as disks and crashed programs damage them.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "mailstore/DbxFile.h"
#include "mailstore/DbxWriter.h"

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
  r.unreadable = dbx.ForEachMessage([&](const mailstore::DbxMessage &m) {
                      ++r.visits;
                      if (m.firstBlock == 0) return true;
                      std::string text;
                      auto sink = [&](const char *d, std::size_t n) { return text.append(d, n), true; };
                      if (dbx.ReadMessage(m, sink) != MessageRead::kComplete) return ++r.damaged, true;
                      for (std::size_t i = 0; i < placed.size(); ++i) {
                        if (placed[i].info == m.infoOffset && specs[i].text == text && specs[i].subject == m.subject &&
                            specs[i].sent == m.sentTime) {
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
};

const std::set<int> kAllWithText = {kPlain, kEightBit, kMultipart, kAttachments, kAwkward, kNoSubject};

TEST(DbxReaderTest, ReadsEveryIntactMessageAndCountsTheDamagedOnes) {
  auto without = [](int sample) {
    std::set<int> s = kAllWithText;
    s.erase(sample);
    return s;
  };
  const DamageCase cases[] = {
      {"intact", [](std::string &, auto &) {}, kAllWithText, 0, 0},
      {"marker of a description overwritten", [](std::string &f, auto &p) { Poke32(f, p[kMultipart].info, 0x1234); },
       kAllWithText, 0, 0},
      {"index points into zeros", [](std::string &f, auto &) { Poke32(f, Peek32(f, 0xE4) + 0x18 + 2 * 12, 0x2AD8); },
       without(kMultipart), 0, 1},
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
       without(kPlain), 0, 1},
      {"chain of blocks loops",
       [](std::string &f, auto &p) { Poke32(f, p[kAttachments].blocks.back() + 12, p[kAttachments].blocks[7]); },
       without(kAttachments), 1, 0},
      {"marker of a block overwritten", [](std::string &f, auto &p) { Poke32(f, p[kAttachments].blocks[200], 7); },
       kAllWithText, 0, 0},
      {"block zeroed in the middle of a chain",
       [](std::string &f, auto &p) { f.replace(p[kAttachments].blocks[200], 16, 16, '\0'); }, without(kAttachments), 1,
       0},
      {"block states more text than it has room for",
       [](std::string &f, auto &p) { Poke32(f, p[kEightBit].blocks[0] + 8, 0x201); }, without(kEightBit), 1, 0},
      {"chain points past the end of the file",
       [](std::string &f, auto &p) { Poke32(f, p[kPlain].blocks[0] + 12, 0x7FFFFFF0); }, without(kPlain), 1, 0},
      {"index node is its own child", [](std::string &f, auto &) { Poke32(f, Peek32(f, 0xE4) + 8, Peek32(f, 0xE4)); },
       kAllWithText, 0, 0},
      {"index root beyond the file", [](std::string &f, auto &) { Poke32(f, 0xE4, 0x7FFFFF00); }, {}, 0, 7},
      {"header states more messages than the index holds", [](std::string &f, auto &) { Poke32(f, 0xC4, 9); },
       kAllWithText, 0, 2},
      {"file cut short inside a message",
       [](std::string &f, auto &p) { f.resize(p[kAttachments].blocks[100]); },
       {},
       0,
       7},
  };
  const std::vector<DbxMessageSpec> specs = SampleMessages();
  for (const DamageCase &c : cases) {
    SCOPED_TRACE(c.name);
    DbxWriter writer;
    std::vector<DbxPlaced> placed;
    for (const DbxMessageSpec &m : specs) placed.push_back(writer.AddMessage(m));
    std::string file = writer.Finish();
    c.damage(file, placed);
    const ReadBack r = Read(file, specs, placed);
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
  for (bool broken : {false, true}) {
    std::string damaged = file;
    std::uint64_t lost = 0;
    if (broken) {  // the first entry of the root: its child pointer goes astray
      const std::uint32_t entry = Peek32(file, 0xE4) + 0x18;
      lost = Peek32(file, entry + 8);
      Poke32(damaged, entry + 4, 0x2AD8);
    }
    const ReadBack r = Read(damaged, specs, placed);
    EXPECT_EQ(r.complete.size() + lost, specs.size());
    EXPECT_EQ(r.unreadable, lost);
    EXPECT_EQ(r.visits, static_cast<int>(specs.size() - lost));
    if (broken) {
      EXPECT_GT(lost, 50u);
    }
  }
}

}  // namespace
}  // namespace quarnel::testing
