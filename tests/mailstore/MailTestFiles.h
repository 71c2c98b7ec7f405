#pragma once
// Mail for the export tests: folder files and a protected backup from the test writer, and
// the messages that folder files and exports hold.
#include <functional>
#include <string>
#include <vector>

#include "mailstore/DbxWriter.h"

namespace quarnel::testing {

class TempFolder;

inline constexpr const char* kMailPassword = "Geheim 2005";

std::string FolderFile(const std::vector<DbxMessageSpec>& messages);
// The texts a folder file of these messages holds, sorted.
std::vector<std::string> StoredTexts(const std::vector<DbxMessageSpec>& specs = SampleMessages());
// The contents of the .eml files in a folder, sorted.
std::vector<std::string> EmlTexts(const std::string& folder);
// A protected backup at path, its files first written into folder. Folders.dbx nests Inbox
// and Inbox;2005 (Old;2005.dbx) under Local Folders and Family under Inbox; a;b;c.dbx is not
// described there; each holds the sample messages. quarnel.dat records every entry as the
// backup job does; alter, when given, changes Inbox.dbx after it was recorded.
bool WriteMailBackup(const TempFolder& folder, const std::string& path,
                     const std::function<void(std::string&)>& alter = {});

}  // namespace quarnel::testing
