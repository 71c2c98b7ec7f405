#include "platform/portable/IniProfile.h"

#include <cstring>
#include <vector>

#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::platform {
namespace {

std::string Trim(std::string_view s) {
  std::size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    std::size_t next = end == std::string::npos ? text.size() : end + 1;
    std::size_t stop = end == std::string::npos ? text.size() : end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.push_back(text.substr(start, stop - start));
    start = next;
  }
  return lines;
}

// The section name of a "[name]" line, or false.
bool SectionName(const std::string& line, std::string* name) {
  std::string t = Trim(line);
  if (t.empty() || t.front() != '[') return false;
  std::size_t close = t.find(']');
  *name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
  return true;
}

bool KeyOf(const std::string& line, std::string* key, std::string* value) {
  std::size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  *key = Trim(line.substr(0, eq));
  *value = Trim(line.substr(eq + 1));
  return true;
}

}  // namespace

std::uint32_t IniProfile::GetString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, char* buffer, std::uint32_t size,
                                    const std::string& file) {
  if (size == 0) return 0;
  std::string result = defaultValue;
  std::string text;
  if (Files().ReadAll(file, &text)) {
    bool inSection = false;
    bool found = false;
    for (const std::string& line : SplitLines(text)) {
      std::string name, k, v;
      if (SectionName(line, &name)) {
        if (inSection) break;  // only the first section of that name is read
        inSection = AnsiEqualNoCase(name, section);
      } else if (inSection && KeyOf(line, &k, &v) && AnsiEqualNoCase(k, key)) {
        if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
          v = v.substr(1, v.size() - 2);
        }
        result = v;
        found = true;
        break;
      }
    }
    (void)found;
  }
  std::size_t n = result.size() < size - 1 ? result.size() : size - 1;
  std::memcpy(buffer, result.data(), n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

bool IniProfile::WriteString(const std::string& section, const std::string& key, const std::string& value,
                             const std::string& file) {
  std::string text;
  Files().ReadAll(file, &text);
  std::vector<std::string> lines = SplitLines(text);
  std::string entry = key + "=" + value;

  int sectionLine = -1;
  int insertAt = -1;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name, k, v;
    if (SectionName(lines[i], &name)) {
      if (sectionLine >= 0) break;
      if (AnsiEqualNoCase(name, section)) {
        sectionLine = static_cast<int>(i);
        insertAt = static_cast<int>(i) + 1;
      }
    } else if (sectionLine >= 0) {
      if (KeyOf(lines[i], &k, &v) && AnsiEqualNoCase(k, key)) {
        lines[i] = entry;
        insertAt = -2;
        break;
      }
      if (!Trim(lines[i]).empty()) insertAt = static_cast<int>(i) + 1;
    }
  }
  if (sectionLine < 0) {
    lines.push_back("[" + section + "]");
    lines.push_back(entry);
  } else if (insertAt >= 0) {
    lines.insert(lines.begin() + insertAt, entry);
  }
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return Files().WriteAll(file, out);
}

}  // namespace quarnel::platform
