// WinZip AES entries as users' archives hold them: the three key lengths, stored and
// deflated, AE-1 and AE-2; and alterations that only the authentication code can reveal.
// The archives are made by libzip, whose encryption is independent of our decryption.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/WinZipAes.h"
#include "archive/WinZipAesCrypto.h"
#include "archive/ZipArchive.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::HasSubstr;
using testing::CentralDirectory;
using testing::CentralEntry;
using testing::DataAt;
using testing::Incompressible;
using testing::MailLikeText;
using testing::MakeZipDirectly;
using testing::RawEntry;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kPassword = "Pa55 word";
constexpr std::size_t kSalt256 = 16, kVerifier = 2, kCode = 10;

void Flip(std::string& bytes, std::size_t at) { bytes[at] = static_cast<char>(bytes[at] ^ 0x01); }

// libzip refuses to write with an empty password; this stands in for a forger who did.
void ProtectAgain(std::string& bytes, const CentralEntry& entry, const std::string& content,
                  const std::string& password) {
  auto* data = reinterpret_cast<unsigned char*>(bytes.data() + DataAt(bytes, entry));  // salt first, kept
  unsigned char keys[2 * 32 + kVerifier];
  detail::WinZipAesDecryptor::Crypto crypto;
  ASSERT_TRUE(crypto.Pbkdf2(reinterpret_cast<const unsigned char*>(password.data()), password.size(), data, kSalt256,
                            1000, keys, sizeof keys));
  std::copy(keys + 64, keys + 64 + kVerifier, data + kSalt256);
  unsigned char* cipher = data + kSalt256 + kVerifier;
  std::copy(content.begin(), content.end(), cipher);
  detail::WinZipAesDecryptor encrypt, authenticate;
  ASSERT_TRUE(encrypt.StartWithKeys(keys, keys + 32, 32) && encrypt.Decrypt(cipher, content.size()));
  ASSERT_TRUE(authenticate.StartWithKeys(keys, keys + 32, 32) && authenticate.Authenticate(cipher, content.size()));
  ASSERT_TRUE(authenticate.ComputeCode(cipher + content.size()));
}

// AE-2 writers leave the CRC empty (as 7-Zip does) or stale: the code, which covers every
// byte, decides alone. AE-1 writers fill it in (our writer never does), and there it must
// match too. The password check reads one entry's code and inflates nothing. No other
// password opens an entry: not a prefix of the right one, not one with a blank more, not an
// empty one, even when a forger protected the entry with that.
TEST(AesEntries, OnlyTheRightPasswordOpensAndTheCodeDecides) {
  const std::string mail = MailLikeText(300000, 1);
  const std::string forged = "mail from someone else";
  const struct {
    const char* what;
    std::uint16_t method;
    RawEntry entry;
    std::function<void(std::string&, const CentralEntry&)> alter;  // none: as libzip wrote it
    std::string password;  // the right one
    int check;             // what the password check says with it
    const char* refusal;   // none: the entry extracts
  } rows[] = {
      {"AES-128, past several keystream refills", ZIP_EM_AES_128, {"photo.jpg", Incompressible(3 * 4096 + 123), true},
       nullptr, kPassword, 1, nullptr},
      {"AES-192", ZIP_EM_AES_192, {"Inbox.dbx", mail}, nullptr, kPassword, 1, nullptr},
      {"one byte of the code", ZIP_EM_AES_256, {"Inbox.dbx", mail},
       [](std::string& b, const CentralEntry& e) { Flip(b, DataAt(b, e) + e.compressedSize - kCode / 2); }, kPassword,
       0, "authentication"},
      {"one ciphertext byte of a stored entry without CRC", ZIP_EM_AES_256, {"Inbox.dbx", Incompressible(5000), true},
       [](std::string& b, const CentralEntry& e) {
         testing::SetCrc(b, e, 0);
         Flip(b, DataAt(b, e) + kSalt256 + kVerifier + 1000);
       },
       kPassword, 0, "authentication"},
      {"one ciphertext byte of an entry under 20 bytes", ZIP_EM_AES_256, {"Inbox.dbx", "short mail", true},
       [](std::string& b, const CentralEntry& e) { Flip(b, DataAt(b, e) + kSalt256 + kVerifier + 3); }, kPassword, 0,
       "authentication"},
      {"AE-2, a stale CRC", ZIP_EM_AES_256, {"Inbox.dbx", mail},
       [](std::string& b, const CentralEntry& e) { testing::SetCrc(b, e, e.crc ^ 0x5A5A5A5Au); }, kPassword, 1,
       nullptr},
      {"AE-1", ZIP_EM_AES_256, {"Inbox.dbx", mail},
       [](std::string& b, const CentralEntry& e) { testing::SetAesField(b, e, 1, ZIP_CM_DEFLATE); }, kPassword, 1,
       nullptr},
      {"AE-1, another CRC", ZIP_EM_AES_256, {"Inbox.dbx", mail},
       [](std::string& b, const CentralEntry& e) {
         testing::SetAesField(b, e, 1, ZIP_CM_DEFLATE);
         testing::SetCrc(b, e, e.crc ^ 0x100);
       },
       kPassword, 1, "fails its CRC check"},
      // Inflating fails at once, the code is authentic all the same.
      {"said to be deflated, holding no deflate stream", ZIP_EM_AES_256, {"Inbox.dbx", std::string(300, '\xFF'), true},
       [](std::string& b, const CentralEntry& e) { testing::SetAesField(b, e, 2, ZIP_CM_DEFLATE); }, kPassword, 1,
       "damaged"},
      {"protected with an empty password", ZIP_EM_AES_256, {"Inbox.dbx", forged, true},
       [&](std::string& b, const CentralEntry& e) { ProtectAgain(b, e, forged, ""); }, "", 0, "needs a password"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TempFolder work;
    testing::LiveFolder restored;
    ASSERT_TRUE(MakeZipDirectly(work.File("a.soe"), {row.entry}, kPassword, row.method));
    std::string bytes = ReadFileBytes(work.File("a.soe"));
    if (row.alter) {
      ASSERT_NO_FATAL_FAILURE(row.alter(bytes, CentralDirectory(bytes).at(0)));
    }
    WriteFileBytes(work.File("a.soe"), bytes);
    ZipArchive zip;
    ASSERT_TRUE(zip.OpenArchive(work.File("a.soe"))) << zip.LastError();
    for (const std::string password : {"wrong", "", "Pa55 wor", "Pa55 word "}) {
      if (password == row.password) continue;
      zip.ReadPassword(password);
      EXPECT_EQ(zip.CheckPassword(), 0) << password;
      EXPECT_FALSE(zip.FindEntry(row.entry.name)->ExtractToFolder(restored.path())) << password;
    }
    restored.ExpectUntouched();
    zip.ReadPassword(row.password);
    EXPECT_EQ(zip.CheckPassword(), row.check) << zip.LastError();
    EXPECT_EQ(zip.FindEntry(row.entry.name)->ExtractToFolder(restored.path()), row.refusal == nullptr)
        << zip.LastError();
    if (row.refusal) {
      EXPECT_THAT(zip.LastError(), HasSubstr(row.refusal));
      restored.ExpectUntouched();
    } else {
      EXPECT_TRUE(ReadFileBytes(restored.File(row.entry.name)) == row.entry.content);
    }
  }
}

// Whoever can edit a protected backup must not be able to slip in an entry of their own.
TEST(AesEntries, AnUnprotectedEntryInAProtectedArchiveIsRefused) {
  TempFolder work;
  testing::LiveFolder restored;
  ASSERT_TRUE(MakeZipDirectly(work.File("a.soe"), {{"quarnel.dat", "BackupItem=00010000"}}, kPassword,
                              ZIP_EM_AES_256));
  zip_t* archive = zip_open(work.File("a.soe").c_str(), 0, nullptr);
  ASSERT_TRUE(archive);
  zip_source_t* source = zip_source_buffer(archive, "forged mail", 11, 0);
  ASSERT_GE(zip_file_add(archive, "Inbox.dbx", source, 0), 0);
  ASSERT_EQ(zip_close(archive), 0);

  ZipArchive zip;
  ASSERT_TRUE(zip.OpenArchive(work.File("a.soe"))) << zip.LastError();
  zip.ReadPassword(kPassword);
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  EXPECT_FALSE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(restored.path()));
  EXPECT_THAT(zip.LastError(), HasSubstr("not protected"));
  restored.ExpectUntouched();

  // Opened again, no password is in force: what an unprotected backup needs.
  ASSERT_TRUE(zip.OpenArchive(work.File("a.soe")));
  EXPECT_EQ(zip.ReadPassword(), "");
  ASSERT_TRUE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(restored.path())) << zip.LastError();
}

}  // namespace
}  // namespace quarnel::archive
