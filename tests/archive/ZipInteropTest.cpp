// Our archives checked by 7-Zip and Info-ZIP, and theirs read by us (native build; the
// Windows build is checked by interop_wine.sh).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/ArchiveTestSupport.h"
#include "archive/BlockDeflate.h"
#include "archive/ZipArchive.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::HasSubstr;
using testing::Incompressible;
using testing::MailLikeText;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kGermanName = "Gel\xF6schte Objekte.dbx";        // as our callers name it (ANSI)
const std::string kGermanNameUtf8 = "Gel\xC3\xB6schte Objekte.dbx";  // as the Linux tools name it

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

std::string Output(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string Quote(const std::string& path) { return "'" + path + "'"; }


class ArchiveInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    files = {{"Inbox.dbx", MailLikeText(200000, 5)},
             {kGermanName, MailLikeText(3000, 6)},
             {"empty.dat", ""},
             {"photo.jpg", Incompressible(30000)},
             // deflated in blocks by the worker threads
             {"Large.dbx", MailLikeText(5 * detail::kDeflateBlockSize + 3, 7)},
             {"attachments.dbx", Incompressible(4 * detail::kDeflateBlockSize + 1)}};
    for (const auto& [name, content] : files) WriteFileBytes(source.File(name), content);
  }

  bool WriteOurs(const std::string& archivePath, const std::string& password) {
    ZipArchive zip;
    zip.DeflateWorkers(2);
    zip.NewArchive(archivePath);
    for (const auto& file : files) zip.AppendPath(source.File(file.first));
    zip.ArchivePassword(password);
    zip.EncryptionMode(password.empty() ? 0 : 1);
    return zip.WriteArchive();
  }

  // Opens a foreign archive and extracts every file through our component.
  void ExpectWeReadEverything(const std::string& archivePath, const std::string& password) {
    ZipArchive zip;
    EXPECT_EQ(zip.IsArchiveProtected(archivePath), 1);
    ASSERT_TRUE(zip.OpenArchive(archivePath)) << zip.LastError();
    zip.ReadPassword(password + "x");
    EXPECT_EQ(zip.CheckPassword(), 0);
    zip.ReadPassword(password);
    EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
    for (const auto& [name, content] : files) {
      std::optional<ArchiveEntry> entry = zip.FindEntry(name);
      ASSERT_TRUE(entry) << name;
      ASSERT_TRUE(entry->ExtractToFolder(restored.path())) << name << ": " << zip.LastError();
      EXPECT_EQ(ReadFileBytes(restored.File(name)), content) << name;
    }
  }

  std::vector<std::pair<std::string, std::string>> files;
  TempFolder source, work, restored;
};

TEST_F(ArchiveInterop, OurPlainArchivesPass7ZipAndInfoZipTests) {
  const std::string archive = work.File("plain.soe");
  ASSERT_TRUE(WriteOurs(archive, ""));
  EXPECT_EQ(Shell("7z t " + Quote(archive)), 0);
  EXPECT_EQ(Shell("unzip -t " + Quote(archive)), 0);
  std::string listing = Output("7z l -slt " + Quote(archive));
  EXPECT_THAT(listing, HasSubstr("Path = " + kGermanNameUtf8));
  EXPECT_THAT(listing, HasSubstr("Method = Deflate"));
}

TEST_F(ArchiveInterop, OurProtectedArchivesPass7ZipAsAes256) {
  const std::string archive = work.File("protected.soe");
  ASSERT_TRUE(WriteOurs(archive, "Pa55 word"));
  EXPECT_EQ(Shell("7z t -p'Pa55 word' " + Quote(archive)), 0);
  EXPECT_NE(Shell("7z t -p'Pa55 worD' " + Quote(archive)), 0);
  std::string listing = Output("7z l -slt " + Quote(archive));
  EXPECT_THAT(listing, HasSubstr("Path = " + kGermanNameUtf8));
  EXPECT_THAT(listing, HasSubstr("Method = AES-256 Deflate"));
  EXPECT_THAT(listing, ::testing::Not(HasSubstr("Method = Deflate")));  // no entry left open
  ASSERT_EQ(Shell("7z x -p'Pa55 word' -o" + Quote(restored.path()) + " " + Quote(archive)), 0);
  EXPECT_EQ(ReadFileBytes(restored.File(kGermanNameUtf8)), files[1].second);
}

TEST_F(ArchiveInterop, SevenZipAesArchivesOpenAndExtract) {
  const std::string archive = work.File("7z.zip");
  ASSERT_EQ(Shell("cd " + Quote(source.path()) + " && 7z a -tzip -mem=AES256 -p'seven zip' " + Quote(archive) + " ."),
            0);
  EXPECT_THAT(Output("7z l -slt " + Quote(archive)), HasSubstr("Method = AES-256 Store"));  // photo.jpg
  ExpectWeReadEverything(archive, "seven zip");
}

TEST_F(ArchiveInterop, SevenZipAes128And192ArchivesOpenAndExtract) {
  for (const std::string bits : {"128", "192"}) {
    const std::string archive = work.File("7z-" + bits + ".zip");
    ASSERT_EQ(Shell("cd " + Quote(source.path()) + " && 7z a -tzip -mem=AES" + bits + " -p'seven zip' " +
                    Quote(archive) + " ."),
              0);
    EXPECT_THAT(Output("7z l -slt " + Quote(archive)), HasSubstr("Method = AES-" + bits + " Deflate"));
    ExpectWeReadEverything(archive, "seven zip");
  }
}

TEST_F(ArchiveInterop, InfoZipTraditionallyProtectedArchivesOpenAndExtract) {
  const std::string archive = work.File("infozip.zip");
  ASSERT_EQ(Shell("cd " + Quote(source.path()) + " && zip -q -P 'info zip' " + Quote(archive) + " *"), 0);
  ExpectWeReadEverything(archive, "info zip");
}

}  // namespace
}  // namespace quarnel::archive
