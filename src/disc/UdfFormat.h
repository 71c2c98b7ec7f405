#pragma once
// The building blocks of UDF 1.02 structures (ECMA-167 with the OSTA profile): descriptor
// tags with their checksum and CRC, OSTA CS0 text, entity identifiers, timestamps and
// little-endian numbers. Shared by the UDF writer and reader.
#include <cstdint>
#include <ctime>
#include <string>

namespace quarnel::disc::udf {

inline constexpr std::uint32_t kAnchorSector = 256;
inline constexpr std::uint32_t kTagSize = 16;
// Extents are whole blocks but the last, and no longer than this.
inline constexpr std::uint32_t kMaxExtent = 0x3FFFF800;

enum TagId : std::uint16_t {
  kTagPrimaryVolume = 1,
  kTagAnchor = 2,
  kTagImplementationUse = 4,
  kTagPartition = 5,
  kTagLogicalVolume = 6,
  kTagUnallocatedSpace = 7,
  kTagTerminating = 8,
  kTagIntegrity = 9,
  kTagFileSet = 256,
  kTagFileIdentifier = 257,
  kTagAllocationExtent = 258,
  kTagFileEntry = 261,
};

// File types of an ICB tag.
inline constexpr std::uint8_t kTypeDirectory = 4;
inline constexpr std::uint8_t kTypeFile = 5;
// File characteristics of a file identifier descriptor.
inline constexpr std::uint8_t kCharDirectory = 0x02;
inline constexpr std::uint8_t kCharDeleted = 0x04;
inline constexpr std::uint8_t kCharParent = 0x08;

void Put16(std::string& d, std::size_t at, std::uint16_t value);
void Put32(std::string& d, std::size_t at, std::uint32_t value);
void Put64(std::string& d, std::size_t at, std::uint64_t value);
std::uint16_t Get16(const unsigned char* p);
std::uint32_t Get32(const unsigned char* p);
std::uint64_t Get64(const unsigned char* p);

// CRC-CCITT (x^16 + x^12 + x^5 + 1, initial 0) as descriptor tags carry it.
std::uint16_t Crc(const unsigned char* data, std::size_t size);
// Completes the tag at the start of a descriptor of length bytes at d[at]: identifier,
// version 2, serial 1, location, the CRC of what follows the tag, and the checksum.
void SetTag(std::string& d, std::size_t at, TagId id, std::uint32_t location, std::size_t length);
// True when a tag of that identifier and location starts at p, with its checksum right and
// its CRC right over what follows it among the available bytes.
bool ValidTag(const unsigned char* p, std::size_t available, TagId id, std::uint32_t location);

// OSTA CS0: a compression identifier (8: one byte per character, 16: two, big-endian),
// then the characters.
std::string Cs0(const std::u16string& text);
std::u16string FromCs0(const std::string& bytes);
// The largest number of characters of text that an identifier of that many bytes holds.
std::size_t Cs0Room(const std::u16string& text, std::size_t bytes);
// A d-string field of length bytes: CS0 text cut to fit, its length in the last byte.
void PutDString(std::string& d, std::size_t at, std::size_t length, const std::u16string& text);
std::u16string GetDString(const unsigned char* p, std::size_t length);

// The character set specification "OSTA Compressed Unicode" (64 bytes).
void PutCharspec(std::string& d, std::size_t at);
// An entity identifier (32 bytes); with revision, its suffix names UDF 1.02 (the suffixes of
// the domain and of UDF's own identifiers).
void PutRegid(std::string& d, std::size_t at, const char* identifier, bool revision);
// A timestamp (12 bytes) in UTC.
void PutTimestamp(std::string& d, std::size_t at, std::time_t time);

}  // namespace quarnel::disc::udf
