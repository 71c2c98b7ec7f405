// WinZip AES entries as users' archives hold them: the three key lengths, stored and
// deflated, AE-1 and AE-2; and alterations that only the authentication code can reveal.
// The archives are made by libzip, whose encryption is independent of our decryption.
#include <zip.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "archive/ArchiveTestSupport.h"
#include "archive/WinZipAes.h"
#include "archive/WinZipAesCrypto.h"
#include "archive/ZipArchive.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::archive {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::CentralDirectory;
using testing::CentralEntry;
using testing::DataAt;
using testing::FolderListing;
using testing::Incompressible;
using testing::MailLikeText;
using testing::MakeZipDirectly;
using testing::RawEntry;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

const std::string kPassword = "Pa55 word";
constexpr std::size_t kSalt256 = 16, kVerifier = 2, kCode = 10;

class AesEntries : public ::testing::Test {
 protected:
  std::string Made(const std::vector<RawEntry>& entries, std::uint16_t method = ZIP_EM_AES_256,
                   const std::string& password = kPassword) {
    EXPECT_TRUE(MakeZipDirectly(work.File("made.zip"), entries, password, method));
    return ReadFileBytes(work.File("made.zip"));
  }

  // Opens the archive bytes with the password in force.
  void Open(const std::string& bytes, const std::string& password = kPassword) {
    WriteFileBytes(work.File("a.soe"), bytes);
    ASSERT_TRUE(zip.OpenArchive(work.File("a.soe"))) << zip.LastError();
    zip.ReadPassword(password);
  }

  bool Extract(const std::string& bytes, const std::string& name) {
    Open(bytes);
    std::optional<ArchiveEntry> entry = zip.FindEntry(name);
    return entry && entry->ExtractToFolder(restored.path());
  }

  TempFolder work;
  testing::LiveFolder restored;
  ZipArchive zip;
};

struct Tampering {
  const char* what;
  RawEntry entry;
  bool crcLeftEmpty;  // as 7-Zip writes AE-2 entries
  std::function<std::size_t(const CentralEntry&)> byteAfterData;
};

// Changes that leave the content inflatable and its CRC (where there is one) matching.
TEST_F(AesEntries, AlterationsOnlyTheAuthenticationCodeRevealsAreRefused) {
  const Tampering tamperings[] = {
      {"one byte of the code", {"Inbox.dbx", MailLikeText(300000, 1)}, false,
       [](const CentralEntry& e) { return e.compressedSize - kCode / 2; }},
      {"one ciphertext byte of a stored entry without CRC", {"Inbox.dbx", Incompressible(5000), true}, true,
       [](const CentralEntry&) { return kSalt256 + kVerifier + 1000; }},
      {"one ciphertext byte of an entry under 20 bytes", {"Inbox.dbx", "short mail", true}, false,
       [](const CentralEntry&) { return kSalt256 + kVerifier + 3; }},
  };
  for (const Tampering& tampering : tamperings) {
    SCOPED_TRACE(tampering.what);
    std::string bytes = Made({tampering.entry});
    const CentralEntry entry = CentralDirectory(bytes).at(0);
    if (tampering.crcLeftEmpty) testing::SetCrc(bytes, entry, 0);
    ASSERT_TRUE(Extract(bytes, "Inbox.dbx")) << zip.LastError();  // intact, it extracts
    EXPECT_EQ(ReadFileBytes(restored.File("Inbox.dbx")), tampering.entry.content);

    restored.PutBack();
    const std::size_t at = DataAt(bytes, entry) + tampering.byteAfterData(entry);
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    EXPECT_FALSE(Extract(bytes, "Inbox.dbx"));
    EXPECT_THAT(zip.LastError(), HasSubstr("authentication"));
    restored.ExpectUntouched();
  }
}

// The keystream runs on across calls of any length; the reference is libzip's encryption.
// Archives of every key length open with the right password only (not a prefix of it, not
// one with a blank more, not an empty one), and extract.
TEST_F(AesEntries, AnyChunkingDecryptsAsOneCallForEveryKeyLength) {
  const std::string content = Incompressible(3 * 4096 + 123);  // past several keystream refills
  for (const auto& [method, keyLength] : {std::pair{ZIP_EM_AES_128, 16}, {ZIP_EM_AES_192, 24}, {ZIP_EM_AES_256, 32}}) {
    SCOPED_TRACE(keyLength);
    const std::string bytes = Made({{"photo.jpg", content, true}}, method);
    const CentralEntry entry = CentralDirectory(bytes).at(0);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data() + DataAt(bytes, entry));
    const std::size_t header = keyLength / 2 + kVerifier;
    const std::string cipher(reinterpret_cast<const char*>(data + header), entry.compressedSize - header - kCode);
    auto decrypt = [&](std::size_t chunk) {
      detail::WinZipAesDecryptor decryptor;
      EXPECT_TRUE(decryptor.Start(kPassword, data, keyLength, data + keyLength / 2));
      std::string plain = cipher;
      auto* p = reinterpret_cast<unsigned char*>(plain.data());
      for (std::size_t at = 0; at < plain.size(); at += chunk) {
        EXPECT_TRUE(decryptor.Decrypt(p + at, std::min(chunk, plain.size() - at)));
      }
      EXPECT_TRUE(decryptor.Authentic(data + header + cipher.size())) << "chunk " << chunk;
      return plain;
    };
    const std::string oneCall = decrypt(cipher.size());
    EXPECT_TRUE(oneCall == content);
    for (std::size_t chunk : {1, 15, 17, 4097}) EXPECT_TRUE(decrypt(chunk) == oneCall) << "chunk " << chunk;

    for (const std::string password : {"wrong", "", "Pa55 wor", "Pa55 word "}) {
      ASSERT_NO_FATAL_FAILURE(Open(bytes, password));
      EXPECT_EQ(zip.CheckPassword(), 0) << password;
      EXPECT_FALSE(zip.FindEntry("photo.jpg")->ExtractToFolder(restored.path())) << password;
    }
    restored.ExpectUntouched();
    zip.ReadPassword(kPassword);
    EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
    ASSERT_TRUE(zip.FindEntry("photo.jpg")->ExtractToFolder(restored.path())) << zip.LastError();
    EXPECT_TRUE(ReadFileBytes(restored.File("photo.jpg")) == content);
    platform::Files().RemoveFile(restored.File("photo.jpg"));
    zip.CloseArchive();
    EXPECT_EQ(zip.ReadPassword(), "");  // forgotten with the archive
  }
}

// AE-2 writers leave the CRC empty or stale; AE-1 writers fill it in, and there it must
// match (our writer never makes AE-1). The code, which covers every byte, decides the rest.
TEST_F(AesEntries, AnAe2EntrysCrcIsIgnoredAndAnAe1EntrysIsHeldToItsContent) {
  const std::string content = MailLikeText(300000, 1);
  const std::string made = Made({{"Inbox.dbx", content}});
  const CentralEntry entry = CentralDirectory(made).at(0);
  for (const auto& [version, crc] : {std::pair{2, entry.crc ^ 0x5A5A5A5Au}, {1, entry.crc}, {1, entry.crc ^ 0x100}}) {
    SCOPED_TRACE(::testing::Message() << "AE-" << version << " CRC " << crc);
    std::string bytes = made;
    testing::SetCrc(bytes, entry, crc);
    testing::SetAesField(bytes, entry, version, ZIP_CM_DEFLATE);
    const bool matches = version == 2 || crc == entry.crc;
    EXPECT_EQ(Extract(bytes, "Inbox.dbx"), matches) << zip.LastError();
    if (matches) EXPECT_TRUE(ReadFileBytes(restored.File("Inbox.dbx")) == content);
    if (!matches) EXPECT_THAT(zip.LastError(), HasSubstr("fails its CRC check"));
  }
}

// Whoever can edit a protected backup must not be able to slip in an entry of their own.
TEST_F(AesEntries, AnUnprotectedEntryInAProtectedArchiveIsRefused) {
  ASSERT_TRUE(MakeZipDirectly(work.File("swapped.soe"), {{"quarnel.dat", "BackupItem=00010000"}}, kPassword,
                              ZIP_EM_AES_256));
  int error = 0;
  zip_t* archive = zip_open(work.File("swapped.soe").c_str(), 0, &error);
  ASSERT_TRUE(archive);
  zip_source_t* source = zip_source_buffer(archive, "forged mail", 11, 0);
  ASSERT_GE(zip_file_add(archive, "Inbox.dbx", source, 0), 0);
  ASSERT_EQ(zip_close(archive), 0);

  ASSERT_NO_FATAL_FAILURE(Open(ReadFileBytes(work.File("swapped.soe"))));
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  std::optional<ArchiveEntry> entry = zip.FindEntry("Inbox.dbx");
  ASSERT_TRUE(entry);
  EXPECT_FALSE(entry->ExtractToFolder(restored.path()));
  EXPECT_THAT(zip.LastError(), HasSubstr("not protected"));
  restored.ExpectUntouched();

  // Opened again, no password is in force: what an unprotected backup needs.
  ASSERT_TRUE(zip.OpenArchive(work.File("a.soe")));
  EXPECT_EQ(zip.ReadPassword(), "");
  ASSERT_TRUE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(restored.path())) << zip.LastError();
}

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

TEST_F(AesEntries, AnEmptyPasswordNeverOpensAnEntry) {
  std::string bytes = Made({{"Inbox.dbx", "mail from someone else", true}});
  ProtectAgain(bytes, CentralDirectory(bytes).at(0), "mail from someone else", "");
  ASSERT_NO_FATAL_FAILURE(Open(bytes, ""));
  EXPECT_EQ(zip.CheckPassword(), 0);
  EXPECT_FALSE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(restored.path()));
  restored.ExpectUntouched();
}

// The entry below claims to be deflated but holds no deflated stream: inflating it fails
// at once, its code is authentic all the same.
TEST_F(AesEntries, PasswordCheckReadsTheCodeAndInflatesNothing) {
  std::string bytes = Made({{"Inbox.dbx", std::string(300, '\xFF'), true}});
  testing::SetAesField(bytes, CentralDirectory(bytes).at(0), 2, ZIP_CM_DEFLATE);
  ASSERT_NO_FATAL_FAILURE(Open(bytes, "wrong"));
  EXPECT_EQ(zip.CheckPassword(), 0);
  zip.ReadPassword(kPassword);
  EXPECT_EQ(zip.CheckPassword(), 1) << zip.LastError();
  EXPECT_FALSE(zip.FindEntry("Inbox.dbx")->ExtractToFolder(restored.path()));
  restored.ExpectUntouched();
}

TEST(WinZipAesDecryptor, DestructionWipesTheKeystream) {
  alignas(detail::WinZipAesDecryptor) unsigned char storage[sizeof(detail::WinZipAesDecryptor)];
  auto* decryptor = new (storage) detail::WinZipAesDecryptor;
  unsigned char key[32];
  for (unsigned i = 0; i < sizeof key; ++i) key[i] = static_cast<unsigned char>(i * 7 + 1);
  ASSERT_TRUE(decryptor->StartWithKeys(key, key, sizeof key));
  unsigned char keystream[64] = {};
  ASSERT_TRUE(decryptor->Decrypt(keystream, sizeof keystream));  // zeros decrypt to the keystream
  ASSERT_NE(std::search(storage, storage + sizeof storage, keystream, keystream + 16), storage + sizeof storage);
  decryptor->~WinZipAesDecryptor();
  EXPECT_EQ(std::search(storage, storage + sizeof storage, keystream, keystream + 16), storage + sizeof storage);
}

}  // namespace
}  // namespace quarnel::archive
