#include "exportui/MailBackup.h"

#include <algorithm>

#include "archive/LocalFile.h"
#include "archive/ZipArchive.h"
#include "mailstore/DbxWriter.h"
#include "platform/Services.h"
#include "support/TempFolder.h"

namespace quarnel::testing {

bool WriteMailBackup(const TempFolder& folder, const std::string& path) {
  DbxWriter list(true);
  list.AddFolder(0, 0xFFFFFFFF, "Outlook Express", "");
  list.AddFolder(1, 0, "Local Folders", "");
  list.AddFolder(2, 1, "Inbox", "Inbox.dbx");
  list.AddFolder(3, 2, "Family", "Family.dbx");
  list.AddFolder(4, 1, "Old;2005", "Old;2005.dbx");
  const std::vector<std::string> names = {"Folders.dbx", "Inbox.dbx", "Family.dbx", "Old;2005.dbx", "a;b;c.dbx"};
  bool written = WriteFileBytes(folder.File(names[0]), list.Finish());
  for (std::size_t i = 1; i < names.size(); ++i) {
    DbxWriter dbx;
    for (const DbxMessageSpec& m : SampleMessages()) dbx.AddMessage(m);
    written = WriteFileBytes(folder.File(names[i]), dbx.Finish()) && written;
  }
  written = WriteFileBytes(folder.File("quarnel.dat"),
                           "BackupIdentity=Main Identity\r\nBackupItem=00010000\r\n"
                           "BackupMails=Folders.dbx;Inbox.dbx;Family.dbx;Old;2005.dbx;a;b;c.dbx\r\n") &&
            written;
  archive::ZipArchive zip;
  zip.NewArchive(path);
  for (const std::string& name : names) written = zip.AppendPath(folder.File(name)) && written;
  written = zip.AppendPath(folder.File("quarnel.dat")) && written;
  zip.ArchivePassword(kMailPassword);
  zip.EncryptionMode(1);
  return zip.WriteArchive() && written;
}

std::string FileText(const std::string& path) {
  std::string text;
  platform::Files().ReadAll(path, &text);
  return text;
}

std::vector<std::string> StoredTexts() {
  std::vector<std::string> texts;
  for (const DbxMessageSpec& m : SampleMessages()) {
    if (!m.deleted && !m.headersOnly) texts.push_back(m.text);
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

std::vector<std::string> EmlTexts(const std::string& folder) {
  std::vector<std::string> texts;
  for (const std::string& name : platform::Files().ListFiles(folder)) {
    if (name.size() > 4 && name.substr(name.size() - 4) == ".eml") {
      texts.push_back(FileText(archive::detail::JoinPath(folder, name)));
    }
  }
  std::sort(texts.begin(), texts.end());
  return texts;
}

}  // namespace quarnel::testing
