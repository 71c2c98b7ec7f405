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

void Flip(std::string& bytes, std::size_t at) { bytes[at] = static_cast<char>(bytes[at] ^ 0x01); }

// AE-2 writers leave the CRC empty (as 7-Zip does) or stale: the code, which covers every
// byte, decides alone. AE-1 writers fill it in (our writer never does), and there it must
// match too. Each row alters an entry so that only the code or the AE-1 CRC can tell.
TEST_F(AesEntries, TheCodeDecidesAndAnAe1EntrysCrcToo) {
  const struct {
    const char* what;
    RawEntry entry;
    std::function<void(std::string&, const CentralEntry&)> alter;
    const char* refusal;  // none: the entry extracts
  } rows[] = {
      {"one byte of the code", {"Inbox.dbx", MailLikeText(300000, 1)},
       [](std::string& b, const CentralEntry& e) { Flip(b, DataAt(b, e) + e.compressedSize - kCode / 2); },
       "authentication"},
      {"one ciphertext byte of a stored entry without CRC", {"Inbox.dbx", Incompressible(5000), true},
       [](std::string& b, const CentralEntry& e) {
         testing::SetCrc(b, e, 0);
         Flip(b, DataAt(b, e) + kSalt256 + kVerifier + 1000);
       },
       "authentication"},
      {"one ciphertext byte of an entry under 20 bytes", {"Inbox.dbx", "short mail", true},
       [](std::string& b, const CentralEntry& e) { Flip(b, DataAt(b, e) + kSalt256 + kVerifier + 3); },
       "authentication"},
      {"AE-2, a stale CRC", {"Inbox.dbx", MailLikeText(300000, 1)},
       [](std::string& b, const CentralEntry& e) { testing::SetCrc(b, e, e.crc ^ 0x5A5A5A5Au); }, nullptr},
      {"AE-1", {"Inbox.dbx", MailLikeText(300000, 1)},
       [](std::string& b, const CentralEntry& e) { testing::SetAesField(b, e, 1, ZIP_CM_DEFLATE); }, nullptr},
      {"AE-1, another CRC", {"Inbox.dbx", MailLikeText(300000, 1)},
       [](std::string& b, const CentralEntry& e) {
         testing::SetAesField(b, e, 1, ZIP_CM_DEFLATE);
         testing::SetCrc(b, e, e.crc ^ 0x100);
       },
       "fails its CRC check"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    std::string bytes = Made({row.entry});
    row.alter(bytes, CentralDirectory(bytes).at(0));
    restored.PutBack();
    EXPECT_EQ(Extract(bytes, "Inbox.dbx"), row.refusal == nullptr) << zip.LastError();
    if (row.refusal) {
      EXPECT_THAT(zip.LastError(), HasSubstr(row.refusal));
      restored.ExpectUntouched();
    } else {
      EXPECT_TRUE(ReadFileBytes(restored.File("Inbox.dbx")) == row.entry.content);
    }
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
