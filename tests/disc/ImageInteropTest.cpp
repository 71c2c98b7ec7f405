// Images written by our engine, read by tools that share no code with it: isoinfo
// (genisoimage), 7-Zip, udfinfo (udftools) and blkid. A tool that is not installed skips
// its checks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "DiscTestSupport.h"
#include "disc/LocalFiles.h"
#include "platform/Text.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;
using testing::MakeFolder;
using testing::MakePatternFile;

bool HaveTool(const std::string& name) { return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0; }

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

// One source tree and its images for all the checks: a 100 MB file takes a while to write.
class ImageInteropTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testing::TempFolder;
    source_ = Join(dir_->path(), "source");
    MakeFolder(source_);
    MakeFolder(Join(source_, "Mail Folders"));
    MakePatternFile(Join(source_, "Mail Folders/Inbox.dbx"), 3 * 1024 * 1024 + 17, 1);
    MakePatternFile(Join(source_, "Mail Folders/Sent Items.dbx"), 4096, 2);
    MakePatternFile(Join(source_, "empty.txt"), 0, 0);
    MakePatternFile(Join(source_, kLongName), 2049, 3);
    MakePatternFile(Join(source_, kTooLongName), 2047, 3);
    MakePatternFile(Join(source_, kAnsiName), 100, 4);
    // Names that ISO9660 maps to the same text.
    MakePatternFile(Join(source_, "a b.txt"), 10, 5);
    MakePatternFile(Join(source_, "a_b.txt"), 11, 6);
    MakePatternFile(Join(source_, "a-b.txt"), 12, 7);
    std::string deep = source_;
    for (int level = 1; level <= 10; ++level) {
      deep = Join(deep, "level " + std::to_string(level));
      MakeFolder(deep);
    }
    MakePatternFile(Join(deep, "deep.bin"), 5000, 8);
    MakePatternFile(Join(source_, "big.soe"), 100ull * 1024 * 1024, 9);
    MirrorFolder(source_, mirror_ = Join(dir_->path(), "mirror"), true);
    MirrorFolder(source_, udfMirror_ = Join(dir_->path(), "udf-mirror"), false);
  }
  static void TearDownTestSuite() {
    delete images_;
    delete dir_;
  }

  // The source set written with a volume type (ctest runs each test in a process of its own:
  // each writes only the images it reads). The volume identifier goes with the type.
  static const std::string& Image(int fileSystem) {
    if (images_ == nullptr) images_ = new std::map<int, std::string>;
    auto found = images_->find(fileSystem);
    if (found != images_->end()) return found->second;
    std::string name = "type" + std::to_string(fileSystem) + ".iso";
    return (*images_)[fileSystem] = WriteIso(fileSystem, VolumeIdOf(fileSystem), name);
  }
  static std::string VolumeIdOf(int fileSystem) {
    return fileSystem == kFsIso9660 || fileSystem == kFsIsoUdf ? "Backup 2026" : "Outlook Express Data Backup CD";
  }

  // Writes the folder's contents into the image root, verified.
  static std::string WriteIso(int fileSystem, const std::string& volumeId, const std::string& name,
                              const std::string& folder = source_) {
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
    std::string iso = Join(dir_->path(), name);
    testing::WriteImageFile(engine, iso);
    EXPECT_EQ(events.statuses.back(), kWriteDone);
    EXPECT_EQ(events.doneMatched, engine.Writer().Root().FileCount());
    EXPECT_TRUE(events.errors.empty());
    return iso;
  }

  // A copy of the source tree under the names the Joliet tree (or UDF's, which keeps long
  // names whole and ";") shows in UTF-8, its files hard links to the originals.
  static void MirrorFolder(const std::string& from, const std::string& to, bool joliet) {
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

  static inline testing::TempFolder* dir_ = nullptr;
  static inline std::string source_, mirror_, udfMirror_;
  static inline std::map<int, std::string>* images_ = nullptr;
};

TEST_F(ImageInteropTest, IsoinfoReadsTheDescriptorsAndTheTreesOfEachIso9660VolumeType) {
  if (!HaveTool("isoinfo")) GTEST_SKIP() << "isoinfo (genisoimage) is not installed";
  for (int type : {kFsIso9660, kFsIsoJoliet, kFsIsoUdf, kFsIsoJolietUdf}) {
    SCOPED_TRACE(type);
    const std::string& iso = Image(type);
    const bool joliet = (type & kFsJoliet) != 0;
    std::string d = Shell("isoinfo -d -i " + Quote(iso));
    EXPECT_HOLDS(d, joliet ? "Volume id: OUTLOOK_EXPRESS_DATA_BACKUP_CD" : "Volume id: BACKUP_2026");
    EXPECT_HOLDS(d, joliet ? "Joliet with UCS level 3 found" : "NO Joliet present");
    EXPECT_HOLDS(d, "Logical block size is: 2048");
    // The primary tree: d-characters and unique names.
    std::string primary = Shell("isoinfo -l -i " + Quote(iso));
    for (const char* name : {"A_B.TXT;1", "A_B1.TXT;1", "A_B2.TXT;1", "EMPTY.TXT;1", "INBOX.DBX;1", "BIG.SOE;1",
                             "Directory listing of /MAIL_FOLDERS/"}) {
      EXPECT_HOLDS(primary, name);
    }
    std::string table = Shell("isoinfo -p -i " + Quote(iso));  // the path table, as readers that walk it see it
    EXPECT_HOLDS(table, "MAIL_FOLDERS");
    EXPECT_HOLDS(table, "LEVEL_10");
    std::string inbox = Shell("isoinfo -i " + Quote(iso) + " -x '/MAIL_FOLDERS/INBOX.DBX;1' | cmp - " +
                              Quote(Join(source_, "Mail Folders/Inbox.dbx")) + " && echo same");
    EXPECT_HOLDS(inbox, "same");
    if (!joliet) continue;
    std::string tree = Shell("isoinfo -J -j iso8859-1 -l -i " + Quote(iso));
    for (const std::string& name : {kLongName, kTooLongCut, std::string("caf\xE9 cr\xE8me \xBD_2005.txt"),
                                    std::string("Sent Items.dbx"), std::string("a_b.txt"), std::string("deep.bin")}) {
      EXPECT_HOLDS(tree, " " + name + " ");
    }
    EXPECT_HOLDS(tree, "/level 1/level 2/level 3/level 4/level 5/level 6/level 7/level 8/level 9/level 10/");
  }
}

TEST_F(ImageInteropTest, SevenZipExtractsTheJolietTreeAndEachUdfVolumeTypeByteIdentical) {
  if (!HaveTool("7z")) GTEST_SKIP() << "7-Zip is not installed";
  for (int type : {kFsIsoJoliet, kFsUdf, kFsIsoUdf, kFsIsoJolietUdf}) {
    SCOPED_TRACE(type);
    const bool udf = (type & kFsUdf) != 0;
    int code = -1;
    std::string listed = Shell("7z l " + Quote(Image(type)), &code);
    EXPECT_EQ(code, 0) << listed;
    EXPECT_HOLDS(listed, udf ? "Type = Udf" : "Type = Iso");
    EXPECT_HOLDS(listed, udf ? kTooLongName : kTooLongCut);  // UDF keeps it whole
    const std::string out = Join(dir_->path(), "x" + std::to_string(type));
    std::string extracted = Shell("7z x -y -o" + Quote(out) + " " + Quote(Image(type)), &code);
    ASSERT_EQ(code, 0) << extracted;
    std::string diff = Shell("diff -r " + Quote(udf ? udfMirror_ : mirror_) + " " + Quote(out), &code);
    EXPECT_EQ(code, 0) << diff;
    Shell("rm -rf " + Quote(out));
  }
}

TEST_F(ImageInteropTest, UdfinfoAndBlkidAcceptEachUdfVolumeTypeAsUdf102) {
  if (!HaveTool("udfinfo") || !HaveTool("blkid")) GTEST_SKIP() << "udfinfo (udftools) or blkid is not installed";
  for (int type : {kFsUdf, kFsIsoUdf, kFsIsoJolietUdf}) {
    SCOPED_TRACE(type);
    const std::string label = VolumeIdOf(type);
    int code = -1;
    std::string info = Shell("udfinfo " + Quote(Image(type)), &code);
    EXPECT_EQ(code, 0) << info;
    for (const std::string& line : {"label=" + label, "lvid=" + label, std::string("udfrev=1.02"),
                                    std::string("numfiles=11"), std::string("numdirs=12")}) {
      EXPECT_HOLDS(info, "\n" + line + "\n");
    }
    std::string probed = Shell("blkid -p " + Quote(Image(type)), &code);
    EXPECT_EQ(code, 0) << probed;
    for (const std::string& field :
         {std::string("TYPE=\"udf\""), std::string("VERSION=\"1.02\""), "LABEL=\"" + label + "\""}) {
      EXPECT_HOLDS(probed, field);
    }
  }
}

TEST_F(ImageInteropTest, AFileOverOneGiBCrossesUdfExtentsIntact) {
  if (!HaveTool("7z")) GTEST_SKIP() << "7-Zip is not installed";
  // Sparse but for marks at both ends and across the first extent's end (1 GiB - 2048).
  std::string folder = Join(dir_->path(), "big");
  MakeFolder(folder);
  std::string big = Join(folder, "Mail Archive.soe");
  const std::uint64_t size = (1ull << 30) + 3 * 1024 * 1024 + 5;
  {
    std::fstream out(big, std::ios::binary | std::ios::out | std::ios::trunc);
    for (std::uint64_t at : {std::uint64_t{0}, std::uint64_t{0x3FFFF800 - 3000}, size - 4000}) {
      out.seekp(static_cast<std::streamoff>(at));
      std::string mark(4000, '\0');
      for (std::size_t i = 0; i < mark.size(); ++i) mark[i] = static_cast<char>('a' + (at + i) % 26);
      out.write(mark.data(), static_cast<std::streamsize>(mark.size()));
    }
  }
  std::string iso = WriteIso(kFsIsoJolietUdf, "Big", "big.iso", folder);  // verified through UDF
  EXPECT_HOLDS(Shell("7z l " + Quote(iso)), std::to_string(size) + " ");
  EXPECT_HOLDS(Shell("7z x -so " + Quote(iso) + " 'Mail Archive.soe' | cmp - " + Quote(big) + " && echo same"), "same");
  std::remove(iso.c_str());
}

}  // namespace
}  // namespace quarnel::disc
