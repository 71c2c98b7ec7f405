#pragma once
// Reading one entry of an open archive to its end, checked: the content must have the size
// the archive states, its CRC must match where the archive carries one, and a WinZip AES
// entry's authentication code must match. Memory use is fixed whatever the sizes claim.
#include <zip.h>

#include <cstddef>
#include <functional>
#include <string>

namespace quarnel::archive::detail {

// Receives the content in order; returning false stops the reading as failed.
using ChunkSink = std::function<bool(const char* data, std::size_t size)>;

// True when the whole entry was delivered and passed every check; otherwise false with the
// reason in *message (the sink may have received part of the content). The password is
// used for protected entries.
bool ReadEntryChecked(zip_t* archive, zip_uint64_t index, const std::string& password, const ChunkSink& sink,
                      std::string* message);

}  // namespace quarnel::archive::detail
