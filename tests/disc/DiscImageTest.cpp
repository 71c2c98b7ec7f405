// The image root and its events; the image writer's names and layout, read back with our
// readers and checked structure by structure; verification; the image file drive's write,
// test write, warnings and errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include "DiscTestSupport.h"
#include "disc/DiscImage.h"
#include "disc/ImageTree.h"
#include "disc/IsoNames.h"
#include "disc/IsoReader.h"
#include "disc/UdfReader.h"
#include "disc/Verify.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;

const unsigned char* At(const std::string& image, std::uint64_t offset) {
  return reinterpret_cast<const unsigned char*>(image.data()) + offset;
}

std::uint32_t Number(const unsigned char* p, int bytes, bool msb) {
  std::uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<std::uint32_t>(p[msb ? bytes - 1 - i : i]) << (8 * i);
  return value;
}

// A path table's records: identifier, extent, parent number.
using PathRecord = std::tuple<std::string, std::uint32_t, std::uint32_t>;
std::vector<PathRecord> PathTable(const std::string& image, std::uint32_t sector, std::uint32_t size, bool msb) {
  std::vector<PathRecord> records;
  for (const unsigned char* p = At(image, sector * 2048ull); p < At(image, sector * 2048ull + size);
       p += 8 + p[0] + p[0] % 2) {
    records.emplace_back(std::string(reinterpret_cast<const char*>(p + 8), p[0]), Number(p + 2, 4, msb),
                         Number(p + 6, 2, msb));
  }
  return records;
}

// The identifier and extent of each record of the directory at the sector.
std::set<std::pair<std::string, std::uint32_t>> DirectoryRecords(const std::string& image, std::uint32_t sector) {
  std::set<std::pair<std::string, std::uint32_t>> records;
  const std::uint64_t start = sector * 2048ull, end = start + iso::GetLsb32(At(image, start + 10));
  for (std::uint64_t at = start; at < end;) {
    const unsigned char* p = At(image, at);
    if (p[0] == 0) {  // the rest of the sector is padding
      at = (at / 2048 + 1) * 2048;
      continue;
    }
    records.emplace(std::string(reinterpret_cast<const char*>(p + 33), p[32]), iso::GetLsb32(p + 2));
    at += p[0];
  }
  return records;
}

std::vector<std::string> Paths(const std::vector<ImageItem>& items) {
  std::vector<std::string> paths;
  for (const ImageItem& item : items) paths.push_back((item.IsFolder ? "D " : "F ") + item.ImagePath);
  return paths;
}

// A mail folder with a sub-folder, added to the image as "\Mail".
class ImageTreeTest : public ::testing::Test {
 protected:
  ImageTreeTest() : tree_(events_) {
    testing::MakeFolder(source_);
    testing::MakeFolder(Join(source_, "Gel\xF6schte Objekte"));
    testing::MakePatternFile(Join(Join(source_, "Gel\xF6schte Objekte"), "Old;2005.dbx"), 3000, 1);
    testing::MakePatternFile(Join(source_, "b.txt"), 5, 2);
    testing::MakePatternFile(Join(source_, "A.txt"), 7, 3);
    tree_.AddFolder(source_ + "\\*.*", "\\Mail");
  }

  testing::TempFolder dir_;
  std::string source_ = Join(dir_.path(), "Mail");
  testing::RecordingListener events_;
  ImageTree tree_;
};

TEST_F(ImageTreeTest, AddingReportsEachItemMergesFoldersAndAsksBeforeReplacingAFile) {
  EXPECT_EQ(Paths(events_.added), (std::vector<std::string>{"D \\Mail", "F \\Mail\\A.txt", "F \\Mail\\b.txt",
                                                            "D \\Mail\\Gel\xF6schte Objekte",
                                                            "F \\Mail\\Gel\xF6schte Objekte\\Old;2005.dbx"}));
  EXPECT_EQ(events_.added[4].ParentPath, "\\Mail\\Gel\xF6schte Objekte");
  EXPECT_EQ(events_.added[4].Size, 3000);
  EXPECT_EQ(events_.added[4].SourcePath, source_ + "\\Gel\xF6schte Objekte\\Old;2005.dbx");
  EXPECT_EQ(std::pair(tree_.FileCount(), tree_.FolderCount()), std::pair(3, 2));  // files, folders

  events_.added.clear();
  tree_.AddFolder(source_ + "\\*.*", "\\mail");  // the same place: every file asks, Cancel keeps it
  EXPECT_EQ(events_.queries.size(), 3u);
  EXPECT_TRUE(events_.added.empty());
  events_.replace = true;
  tree_.AddFile(Join(source_, "b.txt"), "\\MAIL\\a.TXT");
  EXPECT_EQ(tree_.Find("\\Mail\\A.txt")->size, 5u);
  tree_.AddFile(Join(source_, "b.txt"), "\\Mail\\Gel\xF6schte Objekte");  // a folder is never replaced by a file
  EXPECT_TRUE(tree_.Find("\\Mail\\Gel\xF6schte Objekte")->isFolder);
  EXPECT_EQ(tree_.FileCount(), 3);

  // Missing sources and unusable names add nothing; missing folders on the way are made.
  tree_.AddFile(Join(dir_.path(), "gone.txt"), "\\gone.txt");
  tree_.AddFolder(Join(dir_.path(), "gone") + "\\*.*", "\\gone");
  tree_.AddFile(Join(source_, "b.txt"), "\\bad:name.txt");
  EXPECT_EQ(tree_.FileCount(), 3);
  tree_.AddFile(Join(source_, "b.txt"), "\\New\\Deeper\\a;b;c.txt");
  EXPECT_NE(tree_.Find("\\new\\DEEPER\\A;B;C.TXT"), nullptr);
  EXPECT_EQ(tree_.FolderCount(), 4);
}

TEST_F(ImageTreeTest, RenamesRefuseTakenAndUnusableNamesAndReportTheFoldersBelow) {
  const struct {
    const char *path, *name;
    bool folder;
  } refused[] = {{"\\", "Root", true},
                 {"\\Mail\\A.txt", "C.txt", true},
                 {"\\Mail", "Post", false},
                 {"\\Mail\\A.txt", "b.TXT", false},
                 {"\\Mail\\A.txt", "a?.txt", false},
                 {"\\Mail\\A.txt", "", false},
                 {"\\Mail\\gone.txt", "c.txt", false}};
  for (const auto& r : refused) {
    EXPECT_FALSE(r.folder ? tree_.RenameFolder(r.path, r.name) : tree_.RenameFile(r.path, r.name)) << r.path << r.name;
  }
  EXPECT_TRUE(events_.renamed.empty());
  EXPECT_TRUE(tree_.RenameFile("\\Mail\\A.txt", "a.txt"));  // only the case changes
  EXPECT_EQ(events_.renamed.back().OldImagePath, "\\Mail\\A.txt");
  EXPECT_EQ(events_.renamed.back().ImagePath, "\\Mail\\a.txt");

  events_.renamed.clear();
  EXPECT_TRUE(tree_.RenameFolder("\\Mail", "Post 2005"));
  ASSERT_EQ(events_.renamed.size(), 2u);
  EXPECT_EQ(events_.renamed[1].OldImagePath, "\\Mail\\Gel\xF6schte Objekte");
  EXPECT_EQ(events_.renamed[1].ImagePath, "\\Post 2005\\Gel\xF6schte Objekte");
  EXPECT_NE(tree_.Find("\\Post 2005\\Gel\xF6schte Objekte\\Old;2005.dbx"), nullptr);
  EXPECT_EQ(tree_.Find("\\Mail"), nullptr);
}

TEST(IsoNamesTest, Iso9660AndJolietNamesAreMappedShortenedAndMadeUnique) {
  iso::UniqueNames iso, folders, joliet, same;
  const std::pair<const char*, const char*> files[] = {
      {"Inbox.dbx", "INBOX.DBX;1"},
      {"inbox.dbx", "INBOX1.DBX;1"},
      {"Old;2005.dbx", "OLD_2005.DBX;1"},
      {"a;b;c.dbx", "A_B_C.DBX;1"},
      {"a b-c.dbx", "A_B_C1.DBX;1"},
      {"no extension", "NO_EXTENSION.;1"},
      {"archive.tar.gz", "ARCHIVE_TAR.GZ;1"},
      {"A very long file name that goes on and on.backup", "A_VERY_LONG_FILE_NAME_TH.BACKUP;1"},
      {"A very long file name that goes on and on again.backup", "A_VERY_LONG_FILE_NAME_T1.BACKUP;1"},
      {"Gel\xF6scht.dbx", "GEL_SCHT.DBX;1"},
      {"name.verylongextension", "NAME.VERYLONG;1"},
  };
  for (const auto& [name, expected] : files) EXPECT_EQ(iso::IsoFileName(name, iso), expected) << name;
  EXPECT_EQ(iso::IsoFolderName("Local Folders", folders), "LOCAL_FOLDERS");
  EXPECT_EQ(iso::IsoFolderName("local.folders", folders), "LOCAL_FOLDERS1");
  EXPECT_EQ(iso::IsoFolderName(std::string(40, 'x'), folders), std::string(31, 'X'));

  const std::string longName = std::string(70, 'n') + ".soe";
  const std::pair<std::string, std::u16string> jolietNames[] = {
      {"Gel\xF6schte Objekte.dbx", u"Gel\u00f6schte Objekte.dbx"},
      {"Old;2005.dbx", u"Old_2005.dbx"},
      {"a*b?c;d:e\x01.txt", u"a_b_c_d_e_.txt"},
      {"GEL\xD6SCHTE OBJEKTE.DBX", u"GEL\u00d6SCHTE OBJEKTE.DBX"},  // not the same name to Joliet
      {longName, std::u16string(60, u'n') + u".soe"},
      {longName, std::u16string(59, u'n') + u"1.soe"},
  };
  for (const auto& [name, expected] : jolietNames)
    EXPECT_EQ(iso::JolietName(name, false, joliet), iso::Ucs2Be(expected));
  EXPECT_EQ(iso::JolietName(std::string(64, 'z'), true, same), iso::Ucs2Be(std::u16string(64, u'z')));
  EXPECT_EQ(iso::JolietName(std::string(65, 'z'), true, same), iso::Ucs2Be(std::u16string(63, u'z') + u"1"));
}

TEST(IsoNamesTest, RecordAndVolumeDates) {
  const std::string d = iso::RecordDate(86400 * 365 + 31 * 86400 + 3661);  // 1971-02-01 01:01:01 UTC
  EXPECT_EQ(d, std::string("\x47\x02\x01\x01\x01\x01\x00", 7));
  EXPECT_EQ(iso::FromRecordDate(At(d, 0)), 86400 * 365 + 31 * 86400 + 3661);
  EXPECT_EQ(iso::VolumeDate(0), std::string("1970010100000000\0", 17));
}

class DiscImageTest : public ::testing::Test {
 protected:
  DiscImageTest() : tree_(events_) {}

  std::string File(const std::string& name, std::uint64_t size, unsigned seed = 1) {
    std::string path = Join(dir_.path(), name);
    testing::MakePatternFile(path, size, seed);
    return path;
  }
  std::string WriteAll(const DiscImage& image) {
    std::string path = Join(dir_.path(), "image.iso");
    testing::WriteImage(image, path, 300000);  // reads that are not a multiple of the sector size
    return path;
  }
  std::string ReadBack(DiscReader& reader, const ImageFile& file) {
    DiscEntry entry;
    if (!reader.Find(file.discPath, &entry)) return "<missing>";
    std::string data(entry.size, '\0');
    data.resize(reader.ReadFile(entry, 0, data.data(), data.size()));
    return data;
  }

  testing::TempFolder dir_;
  testing::RecordingListener events_;
  ImageTree tree_;
};

TEST_F(DiscImageTest, ManyFilesInDeepFoldersReadBackThroughEachVolumeType) {
  // Enough long names to spread each directory over several sectors; names ISO9660 maps alike.
  std::string folder = "\\Gel\xF6schte Objekte";
  for (int depth = 0; depth < 12; ++depth) {
    folder += "\\level " + std::to_string(depth);
    for (int i = 0; i < 40; ++i) {
      std::string name = "file number " + std::to_string(i) + (i % 2 ? ";old" : "") + " with a rather long name.dbx";
      tree_.AddFile(File("f" + std::to_string(depth) + "_" + std::to_string(i), 100 + i * 37 + depth, i),
                    folder + "\\" + name);
    }
  }
  tree_.AddFile(File("empty", 0), "\\empty.txt");
  for (int code : {kFsIso9660, kFsUdf, kFsIsoJoliet, kFsIsoUdf, kFsIsoJolietUdf}) {
    SCOPED_TRACE(code);
    WriterSettings settings;
    settings.FileSystem = code;
    settings.VolumeIdentifier = "Test Volume";
    ImageOptions options = OptionsFor(settings);
    options.created = 1700000000;
    DiscImage image(tree_.RootNode(), options);
    const std::string path = WriteAll(image);
    const bool iso = code != kFsUdf, joliet = (code & kFsJoliet) != 0, udf = (code & kFsUdf) != 0;
    IsoReader isoReader;
    UdfReader udfReader;
    ASSERT_EQ(isoReader.Open(path), iso);
    ASSERT_EQ(udfReader.Open(path), udf);
    EXPECT_EQ(isoReader.Joliet(), joliet);
    EXPECT_EQ(isoReader.VolumeId(), iso ? "TEST_VOLUME" : "");
    EXPECT_EQ(udfReader.VolumeId(), udf ? u"Test Volume" : u"");
    DiscReader& preferred = udf ? static_cast<DiscReader&>(udfReader) : isoReader;
    ASSERT_EQ(image.Files().size(), 481u);
    for (const ImageFile& file : image.Files()) {
      EXPECT_EQ(ReadBack(preferred, file), testing::ReadFileBytes(file.source)) << file.imagePath;
    }
    const std::string bytes = testing::ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), image.Bytes());

    // Each ISO9660 tree's descriptor: the size in both byte orders; its two path tables
    // agree, and each record names a directory that its parent's directory holds.
    for (std::uint32_t sector = 16; iso && sector < (joliet ? 18u : 17u); ++sector) {
      const unsigned char* d = At(bytes, sector * 2048ull);
      EXPECT_EQ(Number(d + 80, 4, false), image.Sectors());
      EXPECT_EQ(Number(d + 84, 4, true), image.Sectors());
      const std::uint32_t tableSize = Number(d + 132, 4, false);
      const auto l = PathTable(bytes, Number(d + 140, 4, false), tableSize, false);
      EXPECT_EQ(l, PathTable(bytes, Number(d + 148, 4, true), tableSize, true));
      ASSERT_EQ(l.size(), 14u);  // the root, "Geloschte Objekte" and its twelve levels
      EXPECT_EQ(std::get<2>(l[0]), 1u);
      for (std::size_t i = 1; i < l.size(); ++i) {
        const auto& [id, extent, parent] = l[i];
        ASSERT_TRUE(parent >= 1 && parent <= i);
        EXPECT_EQ(DirectoryRecords(bytes, std::get<1>(l[parent - 1])).count({id, extent}), 1u) << i;
      }
    }
  }
}

TEST_F(DiscImageTest, LargeFilesAreRecordedInSeveralExtentsInBothTrees) {
  // ISO9660 records at most 4 GiB - 2048 bytes per extent, UDF 1 GiB - 2048; past 233
  // extents, UDF's continue in an allocation extent descriptor.
  std::vector<std::uint64_t> sizes = {5ull * 1024 * 1024 * 1024 + 123};
#ifndef _WIN32
  // Wine reserves the disk space of a file it lengthens; natively the file stays sparse.
  sizes.push_back(300ull * 1024 * 1024 * 1024 + 4097);
#endif
  // Marks across the end of the first UDF extent and past 4 GiB; elsewhere the files are sparse.
  const std::uint64_t marks[] = {0x3FFFF800 - 2, (4ull << 30) + 1};
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    std::string big = Join(dir_.path(), "big" + std::to_string(i) + ".bin");
    {
      std::ofstream out(big, std::ios::binary);
      for (std::uint64_t at : marks) out.seekp(static_cast<std::streamoff>(at)).write("mark", 4);
    }
    std::filesystem::resize_file(big, sizes[i]);
    tree_.AddFile(big, "\\big" + std::to_string(i) + ".bin");
  }
  ImageOptions options;
  options.udf = true;
  DiscImage image(tree_.RootNode(), options);
  // Only the metadata before the file data: the readers need no more.
  const std::string path = Join(dir_.path(), "meta.iso");
  testing::WriteImage(image, path, 1 << 20, image.Files()[0].sector * 2048ull);
  IsoReader isoReader;
  UdfReader udfReader;
  ASSERT_TRUE(isoReader.Open(path));
  ASSERT_TRUE(udfReader.Open(path));  // the closing anchor is missing: the one at 256 serves
  ImageStream stream(image);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const ImageFile& file = image.Files()[i];
    for (std::uint64_t at : marks) {  // the file's bytes where the image holds them
      std::string bytes(4, '\0');
      std::size_t read = 0;
      FileError error;
      ASSERT_TRUE(stream.Read(file.sector * 2048ull + at, bytes.data(), bytes.size(), &read, &error)) << error.Text;
      EXPECT_EQ(bytes, "mark") << at;
    }
    DiscEntry entry;
    ASSERT_TRUE(udfReader.Find(file.discPath, &entry));
    EXPECT_EQ(entry.size, sizes[i]);
    ASSERT_EQ(entry.extents.size(), (sizes[i] + 0x3FFFF7FF) / 0x3FFFF800);
    for (std::size_t k = 0; k < entry.extents.size(); ++k) {
      EXPECT_EQ(entry.extents[k].first, file.sector + k * (0x3FFFF800 / 2048));
    }
    EXPECT_EQ(entry.extents.back().second, sizes[i] - (entry.extents.size() - 1) * 0x3FFFF800);

    ASSERT_TRUE(isoReader.Find({iso::Ucs2Be(u"big" + std::u16string(1, u'0' + i) + u".bin")}, &entry));
    EXPECT_EQ(entry.size, sizes[i]);
    ASSERT_EQ(entry.extents.size(), (sizes[i] + 0xFFFFF7FF) / 0xFFFFF800);
    EXPECT_EQ(entry.extents[0].second, 0xFFFFF800u);
    EXPECT_EQ(entry.extents[1].first, file.sector + 0xFFFFF800u / 2048);
  }
  const ImageFile& last = image.Files().back();
  EXPECT_EQ(image.Bytes(), static_cast<std::uint64_t>(last.sector) * 2048 + (last.size + 2047) / 2048 * 2048 + 2048);
}

TEST_F(DiscImageTest, VerificationReportsEachKindOfDifferenceAndTheStreamASourceThatChanged) {
  const std::string changed = File("changed.bin", 5000, 2), resized = File("resized.bin", 5000, 3),
                    gone = File("gone.bin", 5000, 4);
  File("same.bin", 5000, 1);
  for (const char* name : {"same.bin", "changed.bin", "resized.bin", "gone.bin"}) {
    tree_.AddFile(Join(dir_.path(), name), std::string("\\") + name);
  }
  DiscImage image(tree_.RootNode(), ImageOptions{});
  const std::string path = WriteAll(image);
  testing::MakePatternFile(changed, 5000, 9);
  testing::MakePatternFile(resized, 5001, 3);
  std::filesystem::remove(gone);
  std::vector<ImageFile> files = image.Files();
  files.push_back(
      *std::find_if(files.begin(), files.end(), [](const ImageFile& f) { return f.imagePath == "\\same.bin"; }));
  files.back().discPath.back() = "not there";
  VerifyResult result = VerifyImage(files, ImageFiles(path, false), events_, [] { return false; });
  EXPECT_EQ(events_.verified, (std::vector<std::pair<std::string, int>>{{"\\changed.bin", kVerifyMismatch},
                                                                        {"\\gone.bin", kVerifySourceUnreadable},
                                                                        {"\\resized.bin", kVerifySizeMismatch},
                                                                        {"\\same.bin", kVerifyMatched},
                                                                        {"\\same.bin", kVerifyDiscUnreadable}}));
  // Verified and matched, as the result and as the listener's last event.
  EXPECT_EQ(std::tuple(result.verified, result.matched, events_.doneVerified, events_.doneMatched),
            std::tuple(5, 1, 5, 1));

  // A mail folder that grew after the lay-out (Outlook Express still running) is not cut to
  // its old size on the disc: the stream stops there.
  testing::MakePatternFile(gone, 5000, 4);
  ImageStream stream(image);
  std::string buffer(image.Bytes(), '\0');
  std::size_t read = 0;
  FileError error;
  EXPECT_FALSE(stream.Read(0, buffer.data(), buffer.size(), &read, &error));
  EXPECT_EQ(error.Text, "The source file has changed since it was added to the image.");
  EXPECT_EQ(error.Path, resized);
}

class ImageFileDriveTest : public DiscImageTest {
 protected:
  ImageFileDriveTest() {
    engine_.Initialize(false);
    engine_.AddListener(&events_);
    engine_.Writer().Settings().FileSystem = kFsIsoJoliet;
  }
  Engine engine_;
};

TEST_F(ImageFileDriveTest, ATestWriteOrACancelLeavesTheOlderImageAndTheDriveErasesNothing) {
  ASSERT_EQ(engine_.DeviceCount(), 1);
  DiscDevice& drive = *engine_.Device(0);
  EXPECT_TRUE(drive.WritesImageFile() && drive.Media().IsWritable);
  EXPECT_FALSE(drive.StartErase(true, 0));
  engine_.Writer().Root().AddFile(File("a.soe", 5 * 1024 * 1024), "\\a.soe");
  engine_.Writer().Settings().TestWrite = true;
  engine_.Writer().Settings().AutoVerify = true;
  const std::string target = Join(dir_.path(), "test.iso");
  ASSERT_TRUE(testing::WriteFileBytes(target, "an older image"));
  drive.SetImageFilePath(target);
  EXPECT_GT(drive.FreeBlocks(true), 0);
  for (int code : {kFsIsoJoliet, kFsIsoJolietUdf}) {
    events_.statuses.clear();
    engine_.Writer().Settings().FileSystem = code;
    testing::WriteImageFile(engine_, target);
    EXPECT_EQ(events_.statuses, (std::vector<int>{kWritePreparing, kWriteWriting, kWriteClosingTrack, kWriteDone}));
    EXPECT_EQ(events_.doneMatched, 1);
  }
  EXPECT_TRUE(events_.errors.empty());
  EXPECT_EQ(testing::ReadFileBytes(target), "an older image");

  engine_.Writer().Settings().TestWrite = false;
  ASSERT_TRUE(engine_.Writer().StartWrite(drive));
  EXPECT_FALSE(engine_.Writer().StartWrite(drive));  // a second write waits for the first
  events_.onProcessInput = [&] { engine_.Writer().CancelWrite(); };
  engine_.RunPending();
  EXPECT_EQ(events_.statuses.back(), kWriteCancelled);
  EXPECT_EQ(testing::ReadFileBytes(target), "an older image");
  EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
  EXPECT_TRUE(engine_.Writer().StartWrite(drive));  // free again
}

TEST_F(ImageFileDriveTest, AMissingSourceWarnsAndAnUnwritableTargetIsAnOutputFileError) {
  engine_.Writer().Root().AddFile(File("kept.soe", 100), "\\kept.soe");
  engine_.Writer().Root().AddFile(File("lost.soe", 100), "\\lost.soe");
  std::filesystem::remove(Join(dir_.path(), "lost.soe"));
  const std::string target = Join(dir_.path(), "w.iso");
  events_.continueOnWarning = false;
  testing::WriteImageFile(engine_, target);
  EXPECT_EQ(events_.warnings, std::vector<std::string>{Join(dir_.path(), "lost.soe")});
  EXPECT_EQ(events_.statuses.back(), kWriteCancelled);
  EXPECT_FALSE(std::filesystem::exists(target));

  events_.continueOnWarning = true;
  engine_.Writer().Settings().AutoVerify = true;
  testing::WriteImageFile(engine_, target);
  EXPECT_EQ(events_.statuses.back(), kWriteDone);
  EXPECT_EQ(events_.doneVerified, 1);  // the lost file was left out
  IsoReader reader;
  std::vector<DiscEntry> root;
  ASSERT_TRUE(reader.Open(target) && reader.List({}, &root));
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].id, iso::Ucs2Be(u"kept.soe"));

  const std::string nowhere = Join(Join(dir_.path(), "no such folder"), "x.iso");
  testing::WriteImageFile(engine_, nowhere);
  EXPECT_EQ(events_.statuses.back(), kWriteFailed);
  ASSERT_FALSE(events_.errors.empty());
  EXPECT_EQ(events_.errors.back().Category, kErrorOutputFile);
  EXPECT_EQ(events_.errors.back().FileDetail.Path, nowhere);
}

}  // namespace
}  // namespace quarnel::disc
