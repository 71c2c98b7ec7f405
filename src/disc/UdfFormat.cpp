#include "disc/UdfFormat.h"

#include <algorithm>
#include <cstring>

#include "disc/IsoNames.h"

namespace quarnel::disc::udf {
namespace {

constexpr std::uint16_t kRevision = 0x0102;
constexpr std::uint16_t kDescriptorVersion = 2;  // NSR02

std::uint8_t Checksum(const unsigned char* tag) {
  unsigned sum = 0;
  for (int i = 0; i < 16; ++i) {
    if (i != 4) sum += tag[i];
  }
  return static_cast<std::uint8_t>(sum);
}

bool Narrow(const std::u16string& text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x100; });
}

}  // namespace

void Put16(std::string& d, std::size_t at, std::uint16_t value) { iso::PutLsb16(d, at, value); }
void Put32(std::string& d, std::size_t at, std::uint32_t value) { iso::PutLsb32(d, at, value); }
void Put64(std::string& d, std::size_t at, std::uint64_t value) {
  Put32(d, at, static_cast<std::uint32_t>(value));
  Put32(d, at + 4, static_cast<std::uint32_t>(value >> 32));
}
std::uint16_t Get16(const unsigned char* p) { return iso::GetLsb16(p); }
std::uint32_t Get32(const unsigned char* p) { return iso::GetLsb32(p); }
std::uint64_t Get64(const unsigned char* p) { return Get32(p) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32); }

std::uint16_t Crc(const unsigned char* data, std::size_t size) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= static_cast<std::uint16_t>(data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc =
          (crc & 0x8000) != 0 ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
    }
  }
  return crc;
}

void SetTag(std::string& d, std::size_t at, TagId id, std::uint32_t location, std::size_t length) {
  Put16(d, at, id);
  Put16(d, at + 2, kDescriptorVersion);
  Put16(d, at + 6, 1);
  auto body = reinterpret_cast<const unsigned char*>(d.data() + at + kTagSize);
  auto crcLength = static_cast<std::uint16_t>(length - kTagSize);
  Put16(d, at + 8, Crc(body, crcLength));
  Put16(d, at + 10, crcLength);
  Put32(d, at + 12, location);
  d[at + 4] = static_cast<char>(Checksum(reinterpret_cast<const unsigned char*>(d.data() + at)));
}

bool ValidTag(const unsigned char* p, std::size_t available, TagId id, std::uint32_t location) {
  if (available < kTagSize || Get16(p) != id || Checksum(p) != p[4] || Get32(p + 12) != location) return false;
  std::uint16_t crcLength = Get16(p + 10);
  return kTagSize + crcLength <= available && Crc(p + kTagSize, crcLength) == Get16(p + 8);
}

std::string Cs0(const std::u16string& text) {
  bool narrow = Narrow(text);
  std::string out(1, static_cast<char>(narrow ? 8 : 16));
  for (char16_t c : text) {
    if (!narrow) out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

std::u16string FromCs0(const std::string& bytes) {
  std::u16string out;
  if (bytes.empty()) return out;
  auto p = reinterpret_cast<const unsigned char*>(bytes.data());
  if (p[0] == 16) {
    for (std::size_t i = 1; i + 1 < bytes.size(); i += 2) out += static_cast<char16_t>((p[i] << 8) | p[i + 1]);
  } else {
    for (std::size_t i = 1; i < bytes.size(); ++i) out += static_cast<char16_t>(p[i]);
  }
  return out;
}

std::size_t Cs0Room(const std::u16string& text, std::size_t bytes) {
  return Narrow(text) ? bytes - 1 : (bytes - 1) / 2;
}

void PutDString(std::string& d, std::size_t at, std::size_t length, const std::u16string& text) {
  std::fill(d.begin() + static_cast<std::ptrdiff_t>(at), d.begin() + static_cast<std::ptrdiff_t>(at + length), '\0');
  if (text.empty()) return;
  std::string cs0 = Cs0(text.substr(0, Cs0Room(text, length - 1)));
  std::memcpy(&d[at], cs0.data(), cs0.size());
  d[at + length - 1] = static_cast<char>(cs0.size());
}

std::u16string GetDString(const unsigned char* p, std::size_t length) {
  std::size_t used = std::min<std::size_t>(p[length - 1], length - 1);
  return FromCs0(std::string(reinterpret_cast<const char*>(p), used));
}

void PutCharspec(std::string& d, std::size_t at) {
  d[at] = 0;  // CS0
  static const char kInfo[] = "OSTA Compressed Unicode";
  std::memcpy(&d[at + 1], kInfo, sizeof kInfo - 1);
}

void PutRegid(std::string& d, std::size_t at, const char* identifier, bool revision) {
  std::memcpy(&d[at + 1], identifier, std::min<std::size_t>(std::strlen(identifier), 23));
  if (revision) Put16(d, at + 24, kRevision);  // the domain's flags and the OS class stay 0
}

void PutTimestamp(std::string& d, std::size_t at, std::time_t time) {
  std::tm t = iso::Utc(time);
  Put16(d, at, 0x1000);  // local time, offset 0
  Put16(d, at + 2, static_cast<std::uint16_t>(t.tm_year + 1900));
  d[at + 4] = static_cast<char>(t.tm_mon + 1);
  d[at + 5] = static_cast<char>(t.tm_mday);
  d[at + 6] = static_cast<char>(t.tm_hour);
  d[at + 7] = static_cast<char>(t.tm_min);
  d[at + 8] = static_cast<char>(t.tm_sec);
}

}  // namespace quarnel::disc::udf
