// Images written by our engine, read by tools that share no code with it: isoinfo
// (genisoimage), 7-Zip, udfinfo (udftools) and blkid.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "DiscTestSupport.h"
#include "disc/LocalFiles.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;
using testing::MakeFolder;
using testing::MakePatternFile;

// Runs a shell command; its standard output and error, and its exit code.
std::string Shell(const std::string& command, int* code = nullptr) {
  std::string out;
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  int status = pclose(pipe);
  if (code) *code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

std::string Quote(const std::string& text) {
  std::string q = "'";
  for (char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

#define EXPECT_HOLDS(text, part) EXPECT_NE((text).find(part), std::string::npos) << (part) << "\n" << (text)

// The names on disk are ANSI text (Windows-1252 here); the readers show UTF-8.
const std::string kAnsiName = "caf\xE9 cr\xE8me \xBD;2005.txt";
const std::string kLongName = "A long file name with spaces, over thirty-one characters.soe";
// Joliet keeps 64 characters, the extension among them.
const std::string kTooLongName = "A file name with spaces that is too long even for the Joliet tree.backup.soe";
const std::string kTooLongCut = "A file name with spaces that is too long even for the Joliet.soe";

// A copy of the source tree under the names the Joliet tree (or UDF's, which keeps long
// names whole and ";") shows in UTF-8, its files hard links to the originals.
void MirrorFolder(const std::string& from, const std::string& to, bool joliet) {
  MakeFolder(to);
  std::vector<LocalEntry> entries;
  ListLocalFolder(from, &entries);
  for (const LocalEntry& e : entries) {
    std::string name = joliet && e.name == kTooLongName ? kTooLongCut : e.name;
    if (joliet) std::replace(name.begin(), name.end(), ';', '_');
    const std::string target = Join(to, platform::AnsiToUtf8(name));
    if (e.isFolder) {
      MirrorFolder(Join(from, e.name), target, joliet);
    } else {
      ASSERT_EQ(::link(Join(from, e.name).c_str(), target.c_str()), 0);
    }
  }
}

class ImageInteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"isoinfo", "7z", "udfinfo", "blkid"}) {
      if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0) {
        GTEST_SKIP() << tool << " is not installed";
      }
    }
  }

  // Writes the folder's contents into the image root, verified.
  std::string WriteIso(int fileSystem, const std::string& volumeId, const std::string& folder) {
    testing::RecordingListener events;
    Engine engine;
    engine.Initialize(false);
    engine.AddListener(&events);
    engine.Writer().Settings().FileSystem = fileSystem;
    engine.Writer().Settings().VolumeIdentifier = volumeId;
    engine.Writer().Settings().AutoVerify = true;
    std::vector<LocalEntry> entries;
    EXPECT_TRUE(ListLocalFolder(folder, &entries));
    for (const LocalEntry& e : entries) {
      if (e.isFolder) {
        engine.Writer().Root().AddFolder(Join(folder, e.name) + "\\*.*", "\\" + e.name);
      } else {
        engine.Writer().Root().AddFile(Join(folder, e.name), "\\" + e.name);
      }
    }
    const std::string iso = Join(dir_.path(), "type" + std::to_string(fileSystem) + ".iso");
    testing::WriteImageFile(engine, iso);
    EXPECT_EQ(events.statuses.back(), kWriteDone);
    EXPECT_EQ(events.doneMatched, engine.Writer().Root().FileCount());
    EXPECT_TRUE(events.errors.empty());
    return iso;
  }

  testing::TempFolder dir_;
};

TEST_F(ImageInteropTest, EachVolumeTypeIsReadWholeByTheOtherTools) {
  const std::string source = Join(dir_.path(), "source");
  MakeFolder(source);
  MakeFolder(Join(source, "Mail Folders"));
  MakePatternFile(Join(source, "Mail Folders/Inbox.dbx"), 3 * 1024 * 1024 + 17, 1);
  MakePatternFile(Join(source, "Mail Folders/Sent Items.dbx"), 4096, 2);
  MakePatternFile(Join(source, "empty.txt"), 0, 0);
  MakePatternFile(Join(source, kLongName), 2049, 3);
  MakePatternFile(Join(source, kTooLongName), 2047, 3);
  MakePatternFile(Join(source, kAnsiName), 100, 4);
  // Names that ISO9660 maps to the same text.
  MakePatternFile(Join(source, "a b.txt"), 10, 5);
  MakePatternFile(Join(source, "a_b.txt"), 11, 6);
  MakePatternFile(Join(source, "a-b.txt"), 12, 7);
  std::string deep = source;
  for (int level = 1; level <= 10; ++level) MakeFolder(deep = Join(deep, "level " + std::to_string(level)));
  MakePatternFile(Join(deep, "deep.bin"), 5000, 8);
  MakePatternFile(Join(source, "big.soe"), 100ull * 1024 * 1024, 9);
  const std::string mirror = Join(dir_.path(), "mirror"), udfMirror = Join(dir_.path(), "udf-mirror");
  MirrorFolder(source, mirror, true);
  MirrorFolder(source, udfMirror, false);

  for (int type : {kFsIso9660, kFsIsoJoliet, kFsUdf, kFsIsoUdf, kFsIsoJolietUdf}) {
    SCOPED_TRACE(type);
    const bool iso = type != kFsUdf, joliet = (type & kFsJoliet) != 0, udf = (type & kFsUdf) != 0;
    const std::string label = joliet || !iso ? "Outlook Express Data Backup CD" : "Backup 2026";
    const std::string image = WriteIso(type, label, source), q = Quote(image);
    if (iso) {
      std::string d = Shell("isoinfo -d -i " + q);
      EXPECT_HOLDS(d, joliet ? "Volume id: OUTLOOK_EXPRESS_DATA_BACKUP_CD" : "Volume id: BACKUP_2026");
      EXPECT_HOLDS(d, joliet ? "Joliet with UCS level 3 found" : "NO Joliet present");
      // The primary tree (d-characters, unique names) and the path table as readers that walk it see it.
      std::string primary = Shell("isoinfo -l -i " + q) + Shell("isoinfo -p -i " + q);
      for (const char* name : {"A_B.TXT;1", "A_B1.TXT;1", "A_B2.TXT;1", "EMPTY.TXT;1", "INBOX.DBX;1", "BIG.SOE;1",
                               "Directory listing of /MAIL_FOLDERS/", "LEVEL_10"}) {
        EXPECT_HOLDS(primary, name);
      }
      EXPECT_HOLDS(Shell("isoinfo -i " + q + " -x '/MAIL_FOLDERS/INBOX.DBX;1' | cmp - " +
                         Quote(Join(source, "Mail Folders/Inbox.dbx")) + " && echo same"),
                   "same");
    }
    // 7-Zip extracts the Joliet tree, or UDF's where there is one: every name as the mirror has it.
    if (joliet || udf) {
      int code = -1;
      std::string listed = Shell("7z l " + q, &code);
      EXPECT_EQ(code, 0) << listed;
      EXPECT_HOLDS(listed, udf ? "Type = Udf" : "Type = Iso");
      const std::string out = Join(dir_.path(), "x" + std::to_string(type));
      std::string extracted = Shell("7z x -y -o" + Quote(out) + " " + q, &code);
      ASSERT_EQ(code, 0) << extracted;
      std::string diff = Shell("diff -r " + Quote(udf ? udfMirror : mirror) + " " + Quote(out), &code);
      EXPECT_EQ(code, 0) << diff;
      Shell("rm -rf " + Quote(out));
    }
    if (udf) {
      int code = -1;
      std::string info = Shell("udfinfo " + q, &code) + Shell("blkid -p " + q);  // blkid: how Linux mounts it
      EXPECT_EQ(code, 0) << info;
      for (const std::string& line :
           {"\nlabel=" + label + "\n", "\nlvid=" + label + "\n", std::string("\nudfrev=1.02\n"),
            std::string("\nnumfiles=11\n"), std::string("\nnumdirs=12\n"), std::string("TYPE=\"udf\""),
            std::string("VERSION=\"1.02\""), "LABEL=\"" + label + "\""}) {
        EXPECT_HOLDS(info, line);
      }
    }
    std::remove(image.c_str());
  }
}

}  // namespace
}  // namespace quarnel::disc
