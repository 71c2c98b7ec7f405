#pragma once
// Reading a freshly written archive back before it replaces anything: every entry must read
// to its end with every check passing, and give exactly what was read from its file.
#include <cstdint>
#include <string>
#include <vector>

namespace quarnel::archive::detail {

// One entry as written: its name (ANSI, and as stored), and the CRC-32 and length of the
// bytes read from its file.
struct WrittenEntry {
  std::string name;
  std::string utf8Name;
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
};

// True when the archive at path holds exactly these entries, in this order, each reading
// back as written (with the password, every entry must be protected by it). Otherwise false
// with the reason, naming the entry, in *message. Streams: memory use is fixed.
bool ReadsBackAsWritten(const std::string& path, const std::vector<WrittenEntry>& entries, const std::string& password,
                        std::string* message);

}  // namespace quarnel::archive::detail
