#include "archive/EntryNames.h"

#include <array>

namespace quarnel::archive {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Upper(text[i]) != upper[i]) return false;
  }
  return true;
}

// Windows opens the device whatever follows the first dot ("nul.dbx" is NUL), and it
// ignores blanks before that dot ("con .txt"). The serial and parallel ports run from 0 to 9
// and on to the superscript digits of the ANSI code page: B9, B2 and B3 are 1, 2 and 3.
bool IsDeviceName(std::string_view name) {
  std::string_view stem = name.substr(0, name.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices) {
    if (EqualsUpper(stem, device)) return true;
  }
  if (stem.size() == 4) {
    const auto port = static_cast<unsigned char>(stem[3]);
    const bool number = (port >= '0' && port <= '9') || port == 0xB9 || port == 0xB2 || port == 0xB3;
    std::string_view kind = stem.substr(0, 3);
    if (number && (EqualsUpper(kind, "COM") || EqualsUpper(kind, "LPT"))) return true;
  }
  return false;
}

}  // namespace

bool IsSafeEntryName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 32 || u == 127) return false;
    switch (c) {
      case '\\': case '/': case ':': case '<': case '>': case '"': case '|': case '?': case '*':
        return false;
      default:
        break;
    }
  }
  if (name.back() == '.' || name.back() == ' ') return false;
  return !IsDeviceName(name);
}

}  // namespace quarnel::archive
