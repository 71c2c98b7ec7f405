#include "app/Skin.h"

#include <cctype>

#include "platform/Services.h"

namespace quarnel::app {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<SkinColour> ParseColour(std::string_view v) {
  if (v.size() != 7 || v[0] != '#') return std::nullopt;
  int digits[6];
  for (int i = 0; i < 6; ++i) {
    digits[i] = HexDigit(v[1 + i]);
    if (digits[i] < 0) return std::nullopt;
  }
  return SkinColour{static_cast<std::uint8_t>(digits[0] * 16 + digits[1]),
                    static_cast<std::uint8_t>(digits[2] * 16 + digits[3]),
                    static_cast<std::uint8_t>(digits[4] * 16 + digits[5])};
}

std::optional<int> ParseFontSize(std::string_view v) {
  if (v.empty() || v.size() > 2) return std::nullopt;
  int n = 0;
  for (char c : v) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n < 6 || n > 14) return std::nullopt;
  return n;
}

// A face name that fits a LOGFONT and holds only printable characters.
bool GoodFace(std::string_view v) {
  if (v.empty() || v.size() > 31) return false;
  for (char c : v) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

std::optional<Skin> ParseSkin(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  Skin skin;
  std::string section;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);

    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (line.back() != ']') return std::nullopt;
      section = std::string(Trim(line.substr(1, line.size() - 2)));
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return std::nullopt;
    std::string_view key = Trim(line.substr(0, eq));
    std::string_view value = Trim(line.substr(eq + 1));

    if (SameName(section, "Colors")) {
      std::optional<SkinColour>* slot = SameName(key, "Window")    ? &skin.window
                                        : SameName(key, "Text")    ? &skin.text
                                        : SameName(key, "Heading") ? &skin.heading
                                                                   : nullptr;
      if (slot == nullptr) continue;
      *slot = ParseColour(value);
      if (!*slot) return std::nullopt;
    } else if (SameName(section, "Font")) {
      if (SameName(key, "Face")) {
        if (!GoodFace(value)) return std::nullopt;
        skin.fontFace = std::string(value);
      } else if (SameName(key, "Size")) {
        std::optional<int> size = ParseFontSize(value);
        if (!size) return std::nullopt;
        skin.fontSize = *size;
      }
    }
  }
  return skin;
}

std::optional<Skin> LoadSkin(const std::string& path) {
  std::string text;
  if (!platform::Files().FileExists(path) || !platform::Files().ReadAll(path, &text)) return std::nullopt;
  // A skin is a few lines; anything large is not one.
  if (text.size() > 64 * 1024) return std::nullopt;
  return ParseSkin(text);
}

std::string MainSkinPath(const std::string& programFolder) {
  if (!programFolder.empty() && programFolder.back() == '\\') return programFolder + "skins\\frmmain.skn";
  return programFolder + "\\skins\\frmmain.skn";
}

}  // namespace quarnel::app
