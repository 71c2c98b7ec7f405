// The image writer's names and layout, read back with our readers; verification; the image
// file drive's write, test write, warnings and errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "DiscTestSupport.h"
#include "disc/DiscImage.h"
#include "disc/IsoNames.h"
#include "disc/IsoReader.h"
#include "disc/UdfReader.h"
#include "disc/Verify.h"
#include "support/TempFolder.h"

namespace quarnel::disc {
namespace {

using testing::Join;

std::string Utf16BeOf(const std::u16string& text) { return iso::Ucs2Be(text); }

TEST(IsoNamesTest, Iso9660AndJolietNamesAreMappedShortenedAndMadeUnique) {
  iso::UniqueNames iso;
  const std::pair<const char*, const char*> files[] = {
      {"Inbox.dbx", "INBOX.DBX;1"},
      {"inbox.dbx", "INBOX1.DBX;1"},
      {"a b-c.txt", "A_B_C.TXT;1"},
      {"a_b_c.txt", "A_B_C1.TXT;1"},
      {"no extension", "NO_EXTENSION.;1"},
      {"archive.tar.gz", "ARCHIVE_TAR.GZ;1"},
      {"A very long file name that goes on and on.backup", "A_VERY_LONG_FILE_NAME_TH.BACKUP;1"},
      {"A very long file name that goes on and on again.backup", "A_VERY_LONG_FILE_NAME_T1.BACKUP;1"},
      {"caf\xE9.txt", "CAF_.TXT;1"},
      {"name.verylongextension", "NAME.VERYLONG;1"},
  };
  for (const auto& [name, expected] : files) EXPECT_EQ(iso::IsoFileName(name, iso), expected) << name;
  iso::UniqueNames folders;
  EXPECT_EQ(iso::IsoFolderName("Local Folders", folders), "LOCAL_FOLDERS");
  EXPECT_EQ(iso::IsoFolderName("local.folders", folders), "LOCAL_FOLDERS1");
  EXPECT_EQ(iso::IsoFolderName(std::string(40, 'x'), folders), std::string(31, 'X'));

  iso::UniqueNames joliet;
  EXPECT_EQ(iso::JolietName("Caf\xE9 Cr\xE8me.txt", false, joliet), Utf16BeOf(u"Caf\u00e9 Cr\u00e8me.txt"));
  EXPECT_EQ(iso::JolietName("a*b?c;d:e.txt", false, joliet), Utf16BeOf(u"a_b_c_d_e.txt"));
  EXPECT_EQ(iso::JolietName("CAF\xC9 CR\xC8ME.TXT", false, joliet), Utf16BeOf(u"CAF\u00c9 CR\u00c8ME.TXT"));
  std::string longName = std::string(70, 'n') + ".soe";
  std::u16string cut = std::u16string(60, u'n') + u".soe";
  EXPECT_EQ(iso::JolietName(longName, false, joliet), Utf16BeOf(cut));
  EXPECT_EQ(iso::JolietName(longName, false, joliet), Utf16BeOf(std::u16string(59, u'n') + u"1.soe"));
  iso::UniqueNames same;
  EXPECT_EQ(iso::JolietName(std::string(64, 'z'), true, same), Utf16BeOf(std::u16string(64, u'z')));
  EXPECT_EQ(iso::JolietName(std::string(65, 'z'), true, same), Utf16BeOf(std::u16string(63, u'z') + u"1"));
}

TEST(IsoNamesTest, DatesAndBothByteOrders) {
  std::string d = iso::RecordDate(86400 * 365 + 3661);  // 1971-01-01 01:01:01 UTC
  EXPECT_EQ(d, std::string("\x47\x01\x01\x01\x01\x01\x00", 7));
  EXPECT_EQ(iso::FromRecordDate(reinterpret_cast<const unsigned char*>(d.data())), 86400 * 365 + 3661);
  EXPECT_EQ(iso::VolumeDate(0), std::string("1970010100000000\0", 17));
  std::string out(8, '\0');
  iso::PutBoth32(out, 0, 0x01020304);
  EXPECT_EQ(out, std::string("\x04\x03\x02\x01\x01\x02\x03\x04", 8));
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
  // Enough long names to spread each directory over several sectors.
  std::string folder = "";
  for (int depth = 0; depth < 12; ++depth) {
    folder += "\\level " + std::to_string(depth);
    for (int i = 0; i < 40; ++i) {
      std::string name = "file number " + std::to_string(i) + " with a rather long name.txt";
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
    std::string path = WriteAll(image);
    const bool iso = code != kFsUdf, joliet = (code & kFsJoliet) != 0, udf = (code & kFsUdf) != 0;
    EXPECT_EQ(image.HasJoliet(), joliet);
    EXPECT_EQ(image.HasUdf(), udf);
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
    std::string bytes = testing::ReadFileBytes(path);
    EXPECT_EQ(bytes.size(), image.Bytes());
    if (!iso) continue;

    // The descriptor's sizes in both byte orders, and the two path tables agree.
    auto p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::uint32_t sectors = iso::GetLsb32(p + 16 * 2048 + 80);
    EXPECT_EQ(sectors, image.Sectors());
    std::uint32_t be =
        (p[16 * 2048 + 84] << 24) | (p[16 * 2048 + 85] << 16) | (p[16 * 2048 + 86] << 8) | p[16 * 2048 + 87];
    EXPECT_EQ(be, sectors);
    std::uint32_t tableSize = iso::GetLsb32(p + 16 * 2048 + 132);
    std::uint32_t lTable = iso::GetLsb32(p + 16 * 2048 + 140);
    const unsigned char* m = p + 16 * 2048 + 148;
    std::uint32_t mTable = (m[0] << 24) | (m[1] << 16) | (m[2] << 8) | m[3];
    for (std::uint32_t at = 0; at < tableSize;) {
      const unsigned char* l = p + lTable * 2048 + at;
      const unsigned char* b = p + mTable * 2048 + at;
      EXPECT_EQ(l[0], b[0]);
      EXPECT_EQ(iso::GetLsb32(l + 2), static_cast<std::uint32_t>((b[2] << 24) | (b[3] << 16) | (b[4] << 8) | b[5]));
      at += 8 + l[0] + l[0] % 2;
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
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    std::string big = Join(dir_.path(), "big" + std::to_string(i) + ".bin");
    { std::ofstream create(big, std::ios::binary); }
    std::filesystem::resize_file(big, sizes[i]);  // sparse
    tree_.AddFile(big, "\\big" + std::to_string(i) + ".bin");
  }
  ImageOptions options;
  options.udf = true;
  DiscImage image(tree_.RootNode(), options);
  // Only the metadata before the file data: the readers need no more.
  std::string path = Join(dir_.path(), "meta.iso");
  {
    std::ofstream out(path, std::ios::binary);
    ImageStream stream(image);
    std::string buffer(static_cast<std::size_t>(image.Files()[0].sector) * 2048, '\0');
    std::size_t read = 0;
    FileError error;
    ASSERT_TRUE(stream.Read(0, buffer.data(), buffer.size(), &read, &error));
    out.write(buffer.data(), static_cast<std::streamsize>(read));
  }
  IsoReader isoReader;
  UdfReader udfReader;
  ASSERT_TRUE(isoReader.Open(path));
  ASSERT_TRUE(udfReader.Open(path));  // the closing anchor is missing: the one at 256 serves
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const ImageFile& file = image.Files()[i];
    ASSERT_EQ(file.size, sizes[i]);
    DiscEntry entry;
    ASSERT_TRUE(udfReader.Find(file.discPath, &entry));
    EXPECT_EQ(entry.size, sizes[i]);
    ASSERT_EQ(entry.extents.size(), (sizes[i] + 0x3FFFF7FF) / 0x3FFFF800);
    for (std::size_t k = 0; k < entry.extents.size(); ++k) {
      EXPECT_EQ(entry.extents[k].first, file.sector + k * (0x3FFFF800 / 2048));
    }
    EXPECT_EQ(entry.extents.back().second, sizes[i] - (entry.extents.size() - 1) * 0x3FFFF800);

    std::vector<std::string> jolietPath = {iso::Ucs2Be(u"big" + std::u16string(1, u'0' + i) + u".bin")};
    ASSERT_TRUE(isoReader.Find(jolietPath, &entry));
    EXPECT_EQ(entry.size, sizes[i]);
    ASSERT_EQ(entry.extents.size(), (sizes[i] + 0xFFFFF7FF) / 0xFFFFF800);
    EXPECT_EQ(entry.extents[0].second, 0xFFFFF800u);
    EXPECT_EQ(entry.extents[1].first, file.sector + 0xFFFFF800u / 2048);
  }
  const ImageFile& last = image.Files().back();
  EXPECT_EQ(image.Bytes(), static_cast<std::uint64_t>(last.sector) * 2048 + (last.size + 2047) / 2048 * 2048 + 2048);
}

TEST_F(DiscImageTest, VerificationReportsEachKindOfDifference) {
  std::string same = File("same.bin", 5000, 1), changed = File("changed.bin", 5000, 2),
              resized = File("resized.bin", 5000, 3), gone = File("gone.bin", 5000, 4);
  for (const char* name : {"same.bin", "changed.bin", "resized.bin", "gone.bin"}) {
    tree_.AddFile(Join(dir_.path(), name), std::string("\\") + name);
  }
  ImageOptions options;
  DiscImage image(tree_.RootNode(), options);
  std::string path = WriteAll(image);
  testing::MakePatternFile(changed, 5000, 9);
  testing::MakePatternFile(resized, 5001, 3);
  std::filesystem::remove(gone);
  std::vector<ImageFile> files = image.Files();
  ImageFile missing =
      *std::find_if(files.begin(), files.end(), [](const ImageFile& f) { return f.imagePath == "\\same.bin"; });
  missing.discPath.back() = "not there";
  files.push_back(missing);
  VerifyResult result = VerifyImage(files, ImageFiles(path, false), events_, [] { return false; });
  std::map<std::string, int> statuses;
  for (const auto& [imagePath, status] : events_.verified) statuses[imagePath] += status * 10 + 1;
  EXPECT_EQ(events_.verifyStarted, 5);
  EXPECT_EQ(result.verified, 5);
  EXPECT_EQ(result.matched, 1);
  EXPECT_EQ(events_.doneVerified, 5);
  EXPECT_EQ(events_.doneMatched, 1);
  EXPECT_EQ(statuses["\\changed.bin"], kVerifyMismatch * 10 + 1);
  EXPECT_EQ(statuses["\\resized.bin"], kVerifySizeMismatch * 10 + 1);
  EXPECT_EQ(statuses["\\gone.bin"], kVerifySourceUnreadable * 10 + 1);
  // same.bin twice: once matched, once missing from the disc.
  EXPECT_EQ(statuses["\\same.bin"], kVerifyMatched * 10 + 1 + kVerifyDiscUnreadable * 10 + 1);
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

TEST_F(ImageFileDriveTest, TheDriveIsAlwaysListedAndItsMediumIsAWritableFile) {
  ASSERT_EQ(engine_.DeviceCount(), 1);
  DiscDevice& drive = *engine_.Device(0);
  EXPECT_EQ(drive.Name(), "Disc Image File (.iso)");
  EXPECT_TRUE(drive.IsSupported());
  EXPECT_TRUE(drive.WritesImageFile());
  EXPECT_EQ(drive.SpeedCount(), 0);
  EXPECT_FALSE(drive.HasCapability(kCapBufferProtect));
  MediaInfo media = drive.Media();
  EXPECT_NE(media.MediaType, kMediaNone);
  EXPECT_TRUE(media.IsWritable);
  EXPECT_FALSE(media.IsRewritable);
  drive.SetImageFilePath(Join(dir_.path(), "x.iso"));
  EXPECT_GT(drive.FreeBlocks(true), 0);
  EXPECT_FALSE(drive.StartErase(true, 0));
}

TEST_F(ImageFileDriveTest, TestWriteVerifiesButLeavesNoFile) {
  engine_.Writer().Root().AddFile(File("a.soe", 70000), "\\a.soe");
  engine_.Writer().Settings().TestWrite = true;
  engine_.Writer().Settings().AutoVerify = true;
  std::string target = Join(dir_.path(), "test.iso");
  for (int code : {kFsIsoJoliet, kFsIsoJolietUdf}) {
    events_.statuses.clear();
    engine_.Writer().Settings().FileSystem = code;
    testing::WriteImageFile(engine_, target);
    EXPECT_EQ(events_.statuses, (std::vector<int>{kWritePreparing, kWriteWriting, kWriteClosingTrack, kWriteDone}));
    EXPECT_EQ(events_.doneMatched, 1);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
  }
  EXPECT_TRUE(events_.errors.empty());
}

TEST_F(ImageFileDriveTest, AMissingSourceWarnsAndAnUnwritableTargetIsAnOutputFileError) {
  engine_.Writer().Root().AddFile(File("kept.soe", 100), "\\kept.soe");
  engine_.Writer().Root().AddFile(File("lost.soe", 100), "\\lost.soe");
  std::filesystem::remove(Join(dir_.path(), "lost.soe"));
  std::string target = Join(dir_.path(), "w.iso");
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
  ASSERT_TRUE(reader.Open(target));
  std::vector<DiscEntry> root;
  ASSERT_TRUE(reader.List({}, &root));
  ASSERT_EQ(root.size(), 1u);
  EXPECT_EQ(root[0].id, iso::Ucs2Be(u"kept.soe"));

  events_.statuses.clear();
  std::string nowhere = Join(Join(dir_.path(), "no such folder"), "x.iso");
  testing::WriteImageFile(engine_, nowhere);
  EXPECT_EQ(events_.statuses.back(), kWriteFailed);
  ASSERT_FALSE(events_.errors.empty());
  EXPECT_EQ(events_.errors.back().Category, kErrorOutputFile);
  EXPECT_EQ(events_.errors.back().FileDetail.Path, nowhere);
}

TEST_F(ImageFileDriveTest, ASecondWriteWaitsForTheFirstAndCancelStopsIt) {
  engine_.Writer().Root().AddFile(File("a.soe", 5 * 1024 * 1024), "\\a.soe");
  DiscDevice& drive = *engine_.Device(0);
  std::string target = Join(dir_.path(), "c.iso");
  drive.SetImageFilePath(target);
  ASSERT_TRUE(engine_.Writer().StartWrite(drive));
  EXPECT_FALSE(engine_.Writer().StartWrite(drive));
  events_.onProcessInput = [&] { engine_.Writer().CancelWrite(); };
  engine_.RunPending();
  EXPECT_EQ(events_.statuses.back(), kWriteCancelled);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(target + ".tmp"));
  EXPECT_TRUE(engine_.Writer().StartWrite(drive));  // free again
}

}  // namespace
}  // namespace quarnel::disc
