#pragma once
// A protected backup of mail folders from the test writer, each holding the sample
// messages: Folders.dbx nests Inbox and Old;2005 under Local Folders and Family under
// Inbox; a;b;c.dbx is not described there.
#include <string>
#include <vector>

namespace quarnel::testing {

inline constexpr const char* kMailPassword = "Geheim 2005";

class TempFolder;

// Writes the backup at path, its files first into folder; false when that fails.
bool WriteMailBackup(const TempFolder& folder, const std::string& path);
// A file's bytes, read through the file seam.
std::string FileText(const std::string& path);
// The texts of the sample messages that a folder file holds, sorted.
std::vector<std::string> StoredTexts();
// The contents of the .eml files in a folder, sorted.
std::vector<std::string> EmlTexts(const std::string& folder);

}  // namespace quarnel::testing
