#pragma once
// Reading one entry of an open archive to its end, checked: the content must have the size
// the archive states, its CRC must match where it decides, and a WinZip AES entry's
// authentication code must match. Memory use is fixed whatever the sizes claim.
#include <zip.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/EntryContent.h"
#include "archive/ZipArchive.h"
#include "archive/ReadPipeline.h"

namespace quarnel::archive::detail {

// The entry's description, or false with the reason. Refuses what cannot be read safely: an
// incomplete description, a protection the build lacks, and an unprotected entry while a
// password is in force (whoever can edit the file could otherwise put an unauthenticated
// entry among authenticated ones), and a compression method the program never writes.
// The CRC in *st is valid only where it decides: an AES entry's only when it is AE-1's
// (ae1, see AesVersions.h), and
// with a record of what the archive was made of (names in UTF-8), the recorded one, after
// the entry was found in the record as deflated and of the recorded size.
bool DescribeEntry(zip_t* archive, zip_uint64_t index, const std::string& password, zip_stat_t* st,
                   std::string* message, const std::vector<EntryFacts>* record = nullptr, bool ae1 = false);

// The entry's stored data opened for reading (a WinZip AES entry's password already
// verified), with its description in *st as the content check takes it; or null with the
// reason.
std::unique_ptr<StoredData> OpenStoredData(zip_t* archive, zip_uint64_t index, const std::string& password,
                                           zip_stat_t* st, std::string* message,
                                           const std::vector<EntryFacts>* record = nullptr, bool ae1 = false);

// True when the whole entry was delivered and passed every check; otherwise false with the
// reason in *message (the sink may have received part of the content). The password is
// used for protected entries.
bool ReadEntryChecked(zip_t* archive, zip_uint64_t index, const std::string& password, const ChunkSink& sink,
                      std::string* message, const std::vector<EntryFacts>* record = nullptr, bool ae1 = false,
                      ReadMode mode = ReadMode::kByProcessors);

// True when the password opens the entry. A WinZip AES entry is decided by its verifier and
// authentication code alone: its stored data is read once and nothing is inflated. Other
// entries are read to their end as by ReadEntryChecked.
bool PasswordOpensEntry(zip_t* archive, zip_uint64_t index, const std::string& password, std::string* message);

}  // namespace quarnel::archive::detail
