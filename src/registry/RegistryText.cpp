#include "registry/RegistryText.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Services.h"
#include "platform/TextLines.h"
#include "registry/ModReg.h"

namespace quarnel::registry {

using platform::Files;
using platform::RegKey;
using platform::Registry;

namespace {

constexpr std::size_t kNameBufferLength = 260;
constexpr char kLineEnd[] = "\r\n";

// Gathers an export file's bytes and writes them in large pieces: a tree of thousands of
// keys costs a handful of writes rather than one open-append-close per key. Without a path
// the bytes stay in memory.
class ExportFile {
 public:
  explicit ExportFile(const std::string* path) : path_(path) {}

  std::string& Buffer() { return buffer_; }
  void FlushIfFull() {
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void Flush() {
    if (buffer_.empty() || !path_) return;
    if (!Files().AppendBytes(*path_, buffer_)) throw RegistryError("Cannot write to " + *path_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kFlushSize = 1 << 20;
  const std::string* path_;
  std::string buffer_;
};

void AppendByteList(std::string_view bytes, std::string* lines) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) lines->append(1, ',');
    lines->append(std::to_string(static_cast<unsigned>(static_cast<std::uint8_t>(bytes[i]))));
  }
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool NameFitsBetweenQuotes(const std::string& name) {
  return name.find('=') == std::string::npos && !HasLineBreak(name);
}

// Whether one of the four classic lines gives back exactly this name, type and bytes: a
// text line adds one zero byte and ends at a line break, a name ends at the first "=", a
// number line holds four bytes.
bool ClassicLineCarries(const RegistryValue& value) {
  if (!NameFitsBetweenQuotes(value.name)) return false;
  switch (value.type) {
    case platform::kRegSz:
    case platform::kRegExpandSz: return !value.data.empty() && value.data.back() == '\0' && !HasLineBreak(value.data);
    case platform::kRegDword: return value.data.size() == 4;
    case platform::kRegBinary: return true;
    default: return false;
  }
}

// Any other value travels on one line of its own, tagged "raw": the type code, a colon and
// the bytes as "bin" writes them; a name that cannot stand between the quotes follows as a
// third field in the same way, the quotes then empty. Readers that know only the four tags
// skip such a line: its first "=" follows the closing quote, and its tag is unknown to them.
void AppendRawLine(const RegistryValue& value, std::string* lines) {
  const bool nameInQuotes = NameFitsBetweenQuotes(value.name);
  lines->append(1, '"').append(nameInQuotes ? value.name : std::string()).append("\"=raw:");
  lines->append(std::to_string(value.type)).append(1, ':');
  AppendByteList(value.data, lines);
  if (!nameInQuotes) {
    lines->append(1, ':');
    AppendByteList(value.name, lines);
  }
  lines->append(kLineEnd);
}

void AppendValueLine(const RegistryValue& value, std::string* lines) {
  if (!ClassicLineCarries(value)) return AppendRawLine(value, lines);
  const char* prefix = "= dw:";
  switch (value.type) {
    case platform::kRegSz: prefix = "= sz:"; break;
    case platform::kRegExpandSz: prefix = "=esz:"; break;
    case platform::kRegBinary: prefix = "=bin:"; break;
  }
  lines->append(1, '"').append(value.name).append(1, '"').append(prefix);
  if (value.type == platform::kRegDword) {
    lines->append(std::to_string(value.Number()));
  } else if (value.type == platform::kRegBinary) {
    AppendByteList(value.data, lines);
  } else {
    lines->append(value.Text());
  }
  lines->append(kLineEnd);
}

// A listing that fails part way would give a shortened file that looks complete.
void AppendValueLines(RegKey key, const KeyPath& path, std::string* lines) {
  ValueEnumerator enumerator(key);
  RegistryValue value;
  while (enumerator.Next(&value)) AppendValueLine(value, lines);
  if (enumerator.Failed()) throw RegistryError("Cannot list the values of " + path.subPath);
}

// The relative path is empty for the exported key itself. The key is opened once for its
// values and sub-keys; only the end of the sub-keys ends their listing, any other answer
// is an error.
void ExportTreeAt(const KeyPath& path, const std::string& relative, ExportFile& file) {
  file.Buffer().append(relative.empty() ? std::string("\\") : relative).append(kLineEnd);
  OpenedKey opened = OpenForReading(path);
  if (!opened) return;  // a key that cannot be opened contributes its header alone
  AppendValueLines(opened.get(), path, &file.Buffer());
  file.FlushIfFull();
  for (std::uint32_t index = 0;; ++index) {
    char name[kNameBufferLength] = {};
    std::uint32_t length = kNameBufferLength;
    long rc = Registry().EnumKeyEx(opened.get(), index, name, &length);
    if (rc == platform::kErrorNoMoreItems) break;
    if (rc != 0) throw RegistryError("Cannot list the sub-keys of " + path.subPath);
    std::string child(name, std::find(name, name + kNameBufferLength, '\0'));
    KeyPath childPath{path.root, path.subPath.empty() ? child : path.subPath + "\\" + child};
    ExportTreeAt(childPath, relative + "\\" + child, file);
  }
}

// One change that a checked file asks for, in file order.
struct ImportStep {
  enum Kind { ReplaceTarget, OpenKey, SetValue } kind;
  std::string path;  // OpenKey: the header line; SetValue: the value's name
  std::uint32_t type = 0;
  std::string data;
  bool classicText = false;  // a "sz" or "esz" line, which older files may continue below
};

std::string_view TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A whole decimal number, optionally signed, with blanks allowed around it.
std::optional<std::int64_t> ParseWholeNumber(std::string_view text, std::int64_t max) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  std::int64_t number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
    if (number > max + 1) return std::nullopt;
  }
  return negative ? -number : number;
}

[[noreturn]] void Malformed(const std::string& filePath, std::size_t lineNumber, const char* why) {
  throw RegistryError(filePath + ", line " + std::to_string(lineNumber) + ": " + why);
}

// The bytes of a "bin" list: empty data is no bytes, otherwise every comma-separated piece
// is one byte.
std::string ParseByteList(std::string_view data, const std::string& filePath, std::size_t lineNumber) {
  std::string bytes;
  for (bool more = !data.empty(); more;) {
    std::size_t comma = data.find(',');
    std::optional<std::int64_t> byte = ParseWholeNumber(data.substr(0, comma), 255);
    if (!byte || *byte < 0 || *byte > 255) Malformed(filePath, lineNumber, "not a byte");
    bytes.push_back(static_cast<char>(*byte));
    more = comma != std::string_view::npos;
    if (more) data.remove_prefix(comma + 1);
  }
  return bytes;
}

// A "raw" line's data: the type code, ":", the bytes, and optionally ":" and the name's bytes.
void ParseRawData(std::string_view data, ImportStep* step, const std::string& filePath, std::size_t lineNumber) {
  std::size_t colon = data.find(':');
  std::optional<std::int64_t> type = ParseWholeNumber(data.substr(0, colon), UINT32_MAX);
  if (colon == std::string_view::npos || !type || *type < 0 || *type > UINT32_MAX)
    Malformed(filePath, lineNumber, "not a type code");
  step->type = static_cast<std::uint32_t>(*type);
  data.remove_prefix(colon + 1);
  colon = data.find(':');
  step->data = ParseByteList(data.substr(0, colon), filePath, lineNumber);
  if (colon != std::string_view::npos) step->path = ParseByteList(data.substr(colon + 1), filePath, lineNumber);
}

// A value line begins with the quote of its name, and its first "=" leaves room for both
// quotes.
bool IsValueLine(std::string_view line) {
  std::size_t equals = line.find('=');
  return !line.empty() && line.front() == '"' && equals != std::string_view::npos && equals >= 2;
}

// Turns one value line into the value it stores; a line with an unknown tag stores nothing.
std::optional<ImportStep> ParseValueLine(std::string_view line, const std::string& filePath,
                                         std::size_t lineNumber) {
  std::size_t equals = line.find('=');
  ImportStep step{ImportStep::SetValue, std::string(line.substr(1, equals - 2)), 0, {}};
  std::string_view tag = TrimBlanks(line.substr(equals + 1, 3));
  std::string_view data = equals + 5 < line.size() ? line.substr(equals + 5) : std::string_view();
  if (tag == "sz" || tag == "esz") {
    step.type = tag == "sz" ? platform::kRegSz : platform::kRegExpandSz;
    step.data.assign(data).push_back('\0');
    step.classicText = true;
  } else if (tag == "dw") {
    std::optional<std::int64_t> number = ParseWholeNumber(data, INT32_MAX);
    if (!number || *number < INT32_MIN || *number > INT32_MAX) Malformed(filePath, lineNumber, "not a 32-bit number");
    auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(*number));
    step.type = platform::kRegDword;
    for (int i = 0; i < 4; ++i) step.data.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  } else if (tag == "bin") {
    step.type = platform::kRegBinary;
    step.data = ParseByteList(data, filePath, lineNumber);
  } else if (tag == "raw") {
    ParseRawData(data, &step, filePath, lineNumber);
  } else {
    return std::nullopt;
  }
  return step;
}

// Reads the whole file. A line ends at a CR, with the LF after it if there is one, as the
// program's other text readers do; a lone LF stays part of the line.
//
// Older files wrote a text's line breaks as they were, so a text value may go on over the
// lines below it: a line that is neither a key header nor a value line continues the text
// value above it, joined with CR LF. Those writers ended every line with CR LF and never
// wrote an empty line of their own, so an empty line below a text value is a blank line of
// that text (at the end of the file: the text ended with a line break). Anywhere else an
// empty line ends the reading, as it always has. A lone CR in such a text comes back as
// CR LF; today's writer puts every text with a line break on a "raw" line instead.
std::vector<ImportStep> ParseImportFile(std::string_view text, std::string_view targetKey,
                                        const std::string& filePath) {
  std::vector<ImportStep> steps;
  std::string currentPath;
  std::optional<std::size_t> openText;  // the step of a text value that may go on below
  std::size_t lineNumber = 0;
  platform::TextLines lines(text);
  while (!lines.AtEnd() && (openText || !lines.AtEmptyLine())) {
    std::string_view line = lines.Next();
    ++lineNumber;

    // A line that names the key already current is not a header; nor is one that begins
    // with two backslashes (a network path in a text), as no key has an empty name.
    if (!line.empty() && line.front() == '\\' && line.substr(0, 2) != "\\\\") {
      std::string keyPath = std::string(targetKey).append(line);
      if (keyPath != currentPath) {
        currentPath = std::move(keyPath);
        if (line.back() == '\\')
          steps.push_back({ImportStep::ReplaceTarget, {}, 0, {}});
        else
          steps.push_back({ImportStep::OpenKey, std::string(line), 0, {}});
        openText.reset();
        continue;
      }
    }
    if (IsValueLine(line)) {
      openText.reset();
      std::optional<ImportStep> step = ParseValueLine(line, filePath, lineNumber);
      if (!step) continue;
      steps.push_back(std::move(*step));
      if (steps.back().classicText) openText = steps.size() - 1;
    } else if (openText) {
      std::string& data = steps[*openText].data;
      data.insert(data.size() - 1, std::string("\r\n").append(line));
    } else {
      Malformed(filePath, lineNumber, "not a value line");
    }
  }
  return steps;
}

OpenedKey CreateAt(const KeyPath& path) {
  RegKey handle = 0;
  if (Registry().CreateKey(path.root, path.subPath.c_str(), &handle) != 0) return OpenedKey();
  return OpenedKey(handle);
}

// False as soon as a key cannot be created or a value not stored.
bool Apply(const std::vector<ImportStep>& steps, const KeyPath& target, std::string_view targetKey) {
  OpenedKey current;
  for (const ImportStep& step : steps) {
    switch (step.kind) {
      case ImportStep::ReplaceTarget:
        current.Close();
        DeleteKeyTree(targetKey);
        current = CreateAt(target);
        if (!current) return false;
        break;
      case ImportStep::OpenKey:
        current.Close();
        current = CreateAt(KeyPath{target.root, target.subPath + step.path});
        if (!current) return false;
        break;
      case ImportStep::SetValue:
        if (current && Registry().SetValueEx(current.get(), step.path.c_str(), step.type,
                                             reinterpret_cast<const std::uint8_t*>(step.data.data()),
                                             static_cast<std::uint32_t>(step.data.size())) != 0)
          return false;
        break;
    }
  }
  return true;
}

}  // namespace

void ExportKeyValues(std::string_view key, const std::string& filePath) {
  KeyPath path = SplitKeyName(key);
  OpenedKey opened = OpenForReading(path);
  if (!opened) return;
  ExportFile file(&filePath);
  AppendValueLines(opened.get(), path, &file.Buffer());
  file.Flush();
}

void ExportKeyTree(std::string_view key, const std::string& filePath) {
  if (Files().FileExists(filePath) && !Files().RemoveFile(filePath))
    throw RegistryError("Cannot replace " + filePath);
  ExportFile file(&filePath);
  ExportTreeAt(SplitKeyName(key), std::string(), file);
  file.Flush();
}

void ImportKeyFile(std::string_view targetKey, const std::string& filePath) {
  std::string text;
  if (!Files().ReadAll(filePath, &text)) throw RegistryError("Cannot read " + filePath);
  const std::vector<ImportStep> steps = ParseImportFile(text, targetKey, filePath);

  KeyPath target = SplitKeyName(targetKey);
  if (!target.root) return;
  // Replacing a whole hive is never what a backup asks for.
  if (target.subPath.empty()) throw RegistryError("Refusing to import over a whole root key");
  // What the target holds now (exactly, as this format carries every value), to be put back
  // should the registry refuse part of the file.
  const bool existed = KeyExists(targetKey);
  ExportFile before(nullptr);
  if (existed) ExportTreeAt(target, std::string(), before);
  if (Apply(steps, target, targetKey)) return;
  DeleteKeyTree(targetKey);
  if (existed) Apply(ParseImportFile(before.Buffer(), targetKey, "the key as it was"), target, targetKey);
  throw RegistryError("The registry refused part of " + filePath);
}

}  // namespace quarnel::registry
