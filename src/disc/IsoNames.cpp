#include "disc/IsoNames.h"

#include "platform/Text.h"

namespace quarnel::disc::iso {
namespace {

char16_t UpperAscii(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

std::u16string Folded(const std::u16string& text) {
  std::u16string out = text;
  for (char16_t& c : out) c = UpperAscii(c);
  return out;
}

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

std::string Narrow(const std::u16string& ascii) {
  std::string out;
  for (char16_t c : ascii) out += static_cast<char>(c);
  return out;
}

// d-characters: A-Z, 0-9 and '_'; everything else becomes '_'.
std::string DChars(const std::string& ansi) {
  std::string out;
  for (unsigned char c : ansi) {
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32);
    bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    out += ok ? static_cast<char>(c) : '_';
  }
  return out;
}

void SplitExtension(const std::string& name, std::string* stem, std::string* ext) {
  std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    *stem = name;
    ext->clear();
  } else {
    *stem = name.substr(0, dot);
    *ext = name.substr(dot + 1);
  }
}

std::string Utf16Be(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) {
    out += static_cast<char>(c >> 8);
    out += static_cast<char>(c & 0xFF);
  }
  return out;
}

}  // namespace

void PutLsb16(std::string& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>(v >> 8);
}
void PutMsb16(std::string& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<char>(v >> 8);
  out[at + 1] = static_cast<char>(v & 0xFF);
}
void PutBoth16(std::string& out, std::size_t at, std::uint16_t v) {
  PutLsb16(out, at, v);
  PutMsb16(out, at + 2, v);
}
void PutLsb32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutMsb32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * (3 - i))) & 0xFF);
}
void PutBoth32(std::string& out, std::size_t at, std::uint32_t v) {
  PutLsb32(out, at, v);
  PutMsb32(out, at + 4, v);
}
std::uint16_t GetLsb16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t GetLsb32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::tm Utc(std::time_t time) {
  std::tm parts = {};
#ifdef _WIN32
  if (const std::tm* utc = std::gmtime(&time)) parts = *utc;
#else
  gmtime_r(&time, &parts);
#endif
  return parts;
}

namespace {
// Days from 1970-01-01 to a civil date (proleptic Gregorian).
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  long long era = (y >= 0 ? y : y - 399) / 400;
  long long yoe = y - era * 400;
  long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}
}  // namespace

std::string RecordDate(std::time_t time) {
  std::tm t = Utc(time);
  std::string out(7, '\0');
  int year = t.tm_year;  // since 1900
  out[0] = static_cast<char>(year < 0 ? 0 : year > 255 ? 255 : year);
  out[1] = static_cast<char>(t.tm_mon + 1);
  out[2] = static_cast<char>(t.tm_mday);
  out[3] = static_cast<char>(t.tm_hour);
  out[4] = static_cast<char>(t.tm_min);
  out[5] = static_cast<char>(t.tm_sec);
  out[6] = 0;  // UTC
  return out;
}

std::string VolumeDate(std::time_t time) {
  std::tm t = Utc(time);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d00", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                t.tm_min, t.tm_sec);
  std::string out(text, 16);
  out += '\0';  // UTC
  return out;
}

std::time_t FromRecordDate(const unsigned char* p) {
  long long days = DaysFromCivil(1900 + p[0], p[1] == 0 ? 1 : p[1], p[2] == 0 ? 1 : p[2]);
  long long seconds = days * 86400 + p[3] * 3600 + p[4] * 60 + p[5];
  seconds -= static_cast<long long>(static_cast<signed char>(p[6])) * 15 * 60;
  return static_cast<std::time_t>(seconds);
}

std::u16string AnsiToUtf16(const std::string& ansi) {
  std::string utf8 = platform::AnsiToUtf8(ansi);
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t code = 0;
    int extra = 0;
    if (c < 0x80) {
      code = c;
    } else if ((c & 0xE0) == 0xC0) {
      code = c & 0x1F, extra = 1;
    } else if ((c & 0xF0) == 0xE0) {
      code = c & 0x0F, extra = 2;
    } else {
      code = c & 0x07, extra = 3;
    }
    ++i;
    for (int k = 0; k < extra && i < utf8.size(); ++k, ++i) {
      code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    }
    if (code > 0xFFFF) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
  }
  return out;
}

std::string Ucs2Be(const std::u16string& text) { return Utf16Be(text); }

std::u16string UniqueNames::Take(std::u16string stem, const std::u16string& ext, std::size_t maxLength) {
  std::size_t room = maxLength > ext.size() ? maxLength - ext.size() : 0;
  if (stem.size() > room) stem.resize(room);
  std::u16string name = stem + ext;
  for (unsigned n = 1; taken_.count(Folded(name)) != 0; ++n) {
    std::u16string number = Widen(std::to_string(n));
    std::u16string shorter = stem.substr(0, room > number.size() ? room - number.size() : 0);
    name = shorter + number + ext;
  }
  taken_.insert(Folded(name));
  return name;
}

std::string IsoFileName(const std::string& ansiName, UniqueNames& taken) {
  std::string stem, ext;
  SplitExtension(ansiName, &stem, &ext);
  stem = DChars(stem);
  ext = DChars(ext);
  if (ext.size() > 8) ext.resize(8);
  std::u16string name = taken.Take(Widen(stem), Widen("." + ext), 31);  // 30 + the dot
  return Narrow(name) + ";1";
}

std::string IsoFolderName(const std::string& ansiName, UniqueNames& taken) {
  return Narrow(taken.Take(Widen(DChars(ansiName)), u"", 31));
}

std::u16string FittedName(const std::u16string& name, bool folder, std::size_t maxLength, UniqueNames& taken) {
  std::u16string stem = name, ext;
  std::size_t dot = name.rfind(u'.');
  if (!folder && dot != std::u16string::npos && dot > 0 && name.size() - dot <= 16) {
    stem = name.substr(0, dot);
    ext = name.substr(dot);
  }
  return taken.Take(stem, ext, maxLength);
}

std::string JolietName(const std::string& ansiName, bool folder, UniqueNames& taken) {
  std::u16string wide = AnsiToUtf16(ansiName);
  for (char16_t& c : wide) {
    if (c < 0x20 || c == u'*' || c == u'/' || c == u'\\' || c == u':' || c == u';' || c == u'?') c = u'_';
  }
  return Utf16Be(FittedName(wide, folder, 64, taken));
}

std::string IsoVolumeId(const std::string& ansi) {
  std::string id = DChars(ansi);
  if (id.size() > 32) id.resize(32);
  return id;
}

std::string JolietVolumeId(const std::string& ansi) {
  std::u16string wide = AnsiToUtf16(ansi);
  if (wide.size() > 16) wide.resize(16);
  return Utf16Be(wide);
}

}  // namespace quarnel::disc::iso
