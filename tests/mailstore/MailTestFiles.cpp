#include "mailstore/MailTestFiles.h"

#include <zlib.h>

#include <algorithm>

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "backup/InfoFile.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::testing {

std::string FolderFile(const std::vector<DbxMessageSpec>& messages) {
  DbxWriter writer;
  for (const DbxMessageSpec& m : messages) writer.AddMessage(m);
  return writer.Finish();
}

std::vector<std::string> StoredTexts(const std::vector<DbxMessageSpec>& specs) {
  std::vector<std::string> texts;
  for (const DbxMessageSpec& m : specs) {
    if (!m.deleted && !m.headersOnly) texts.push_back(m.text);
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

std::vector<std::string> EmlTexts(const std::string& folder) {
  std::vector<std::string> texts;
  for (const std::string& name : platform::Files().ListFiles(folder)) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".eml") {
      platform::Files().ReadAll(archive::detail::JoinPath(folder, name), &texts.emplace_back());
    }
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

bool WriteMailBackup(const TempFolder& folder, const std::string& path,
                     const std::function<void(std::string&)>& alter) {
  DbxWriter list(true);
  list.AddFolder(0, 0xFFFFFFFF, "Outlook Express", "");
  list.AddFolder(1, 0, "Local Folders", "");
  list.AddFolder(2, 1, "Inbox", "Inbox.dbx");
  list.AddFolder(3, 2, "Family", "Family.dbx");
  list.AddFolder(4, 1, "Inbox;2005", "Old;2005.dbx");
  const std::string mail = FolderFile(SampleMessages());
  std::vector<archive::EntryFacts> record;
  archive::ZipArchive zip;
  zip.NewArchive(path);
  bool written = true;
  for (const char* name : {"Inbox.dbx", "Family.dbx", "Old;2005.dbx", "a;b;c.dbx", "Folders.dbx"}) {
    std::string bytes = std::string(name) == "Folders.dbx" ? list.Finish() : mail;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size()));
    record.push_back({name, bytes.size(), static_cast<std::uint32_t>(crc)});
    if (alter && record.size() == 1) alter(bytes);
    written = WriteFileBytes(folder.File(name), bytes) && zip.AppendPath(folder.File(name)) && written;
  }
  written = WriteFileBytes(folder.File("quarnel.dat"),
                           "BackupIdentity=Main Identity\r\nBackupItem=00010000\r\n"
                           "BackupMails=Folders.dbx;Inbox.dbx;Family.dbx;Old;2005.dbx;a;b;c.dbx\r\n"
                           "BackupEntries=" +
                               backup::FormatEntryRecord(record) + "\r\n") &&
            zip.AppendPath(folder.File("quarnel.dat")) && written;
  zip.ArchivePassword(kMailPassword);
  zip.EncryptionMode(1);
  return zip.WriteArchive() && written;
}

}  // namespace quarnel::testing
