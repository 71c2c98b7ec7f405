#pragma once
// Names, numbers and dates as ISO9660 and Joliet record them.
#include <cstdint>
#include <ctime>
#include <set>
#include <string>

namespace quarnel::disc::iso {

inline constexpr std::uint32_t kSectorSize = 2048;

// Both-byte-order and single-order fields.
void PutLsb16(std::string& out, std::size_t at, std::uint16_t value);
void PutMsb16(std::string& out, std::size_t at, std::uint16_t value);
void PutBoth16(std::string& out, std::size_t at, std::uint16_t value);  // 4 bytes
void PutLsb32(std::string& out, std::size_t at, std::uint32_t value);
void PutMsb32(std::string& out, std::size_t at, std::uint32_t value);
void PutBoth32(std::string& out, std::size_t at, std::uint32_t value);  // 8 bytes
std::uint16_t GetLsb16(const unsigned char* p);
std::uint32_t GetLsb32(const unsigned char* p);

// The 7-byte date of a directory record and the 17-byte date of a volume descriptor, in
// UTC (offset 0).
std::string RecordDate(std::time_t time);
std::string VolumeDate(std::time_t time);
std::time_t FromRecordDate(const unsigned char* p);
// The parts of a time in UTC.
std::tm Utc(std::time_t time);

// UTF-16 of ANSI text (the system's code page).
std::u16string AnsiToUtf16(const std::string& ansi);
// UCS-2 big-endian bytes of UTF-16 text.
std::string Ucs2Be(const std::u16string& text);

// Makes identifiers unique within one directory: the first form given is kept when free,
// else its stem is shortened to make room for a number. Comparison ignores ASCII case.
class UniqueNames {
 public:
  // stem + ext (ext with its dot, or empty) must fit in maxLength units.
  std::u16string Take(std::u16string stem, const std::u16string& ext, std::size_t maxLength);

 private:
  std::set<std::u16string> taken_;
};

// A long name (Joliet, UDF) in at most maxLength units, unique: a file's extension of up to
// 15 characters is kept and the stem shortened.
std::u16string FittedName(const std::u16string& name, bool folder, std::size_t maxLength, UniqueNames& taken);

// The ISO9660 level 2 identifier of a file ("NAME.EXT;1", d-characters, at most 30
// characters besides the dot and version) or a folder (at most 31 d-characters), unique in
// its directory.
std::string IsoFileName(const std::string& ansiName, UniqueNames& taken);
std::string IsoFolderName(const std::string& ansiName, UniqueNames& taken);
// The Joliet identifier (UCS-2, at most 64 characters, none of *\/:;? or controls), unique in
// its directory; big-endian bytes.
std::string JolietName(const std::string& ansiName, bool folder, UniqueNames& taken);
// Volume identifiers: d-characters for the primary descriptor, UCS-2 for Joliet's.
std::string IsoVolumeId(const std::string& ansi);
std::string JolietVolumeId(const std::string& ansi);

}  // namespace quarnel::disc::iso
