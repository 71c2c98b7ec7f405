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
// keys costs a handful of writes rather than one open-append-close per key.
class ExportFile {
 public:
  explicit ExportFile(const std::string& path) : path_(path) {}

  std::string& Buffer() { return buffer_; }
  void FlushIfFull() {
    if (buffer_.size() >= kFlushSize) Flush();
  }
  void Flush() {
    if (buffer_.empty()) return;
    if (!Files().AppendBytes(path_, buffer_)) throw RegistryError("Cannot write to " + path_);
    buffer_.clear();
  }

 private:
  static constexpr std::size_t kFlushSize = 1 << 20;
  const std::string& path_;
  std::string buffer_;
};

void AppendValueLine(const RegistryValue& value, std::string* lines) {
  const char* prefix = nullptr;
  switch (value.type) {
    case platform::kRegSz: prefix = "= sz:"; break;
    case platform::kRegExpandSz: prefix = "=esz:"; break;
    case platform::kRegBinary: prefix = "=bin:"; break;
    case platform::kRegDword: prefix = "= dw:"; break;
    default: return;  // other types do not travel
  }
  lines->append(1, '"').append(value.name).append(1, '"').append(prefix);
  if (value.type == platform::kRegDword) {
    lines->append(std::to_string(value.Number()));
  } else if (value.type == platform::kRegBinary) {
    for (std::size_t i = 0; i < value.data.size(); ++i) {
      if (i) lines->append(1, ',');
      lines->append(std::to_string(static_cast<unsigned>(static_cast<std::uint8_t>(value.data[i]))));
    }
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

// Turns one value line into the value it stores; a line with an unknown tag stores nothing.
std::optional<ImportStep> ParseValueLine(std::string_view line, const std::string& filePath,
                                         std::size_t lineNumber) {
  std::size_t equals = line.find('=');
  if (equals == std::string_view::npos || equals < 2) Malformed(filePath, lineNumber, "not a value line");
  ImportStep step{ImportStep::SetValue, std::string(line.substr(1, equals - 2)), 0, {}};
  std::string_view tag = TrimBlanks(line.substr(equals + 1, 3));
  std::string_view data = equals + 5 < line.size() ? line.substr(equals + 5) : std::string_view();
  if (tag == "sz" || tag == "esz") {
    step.type = tag == "sz" ? platform::kRegSz : platform::kRegExpandSz;
    step.data.assign(data).push_back('\0');
  } else if (tag == "dw") {
    std::optional<std::int64_t> number = ParseWholeNumber(data, INT32_MAX);
    if (!number || *number < INT32_MIN || *number > INT32_MAX) Malformed(filePath, lineNumber, "not a 32-bit number");
    auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(*number));
    step.type = platform::kRegDword;
    for (int i = 0; i < 4; ++i) step.data.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  } else if (tag == "bin") {
    step.type = platform::kRegBinary;
    // Empty data is an empty value; otherwise every comma-separated piece is one byte.
    for (bool more = !data.empty(); more;) {
      std::size_t comma = data.find(',');
      std::optional<std::int64_t> byte = ParseWholeNumber(data.substr(0, comma), 255);
      if (!byte || *byte < 0 || *byte > 255) Malformed(filePath, lineNumber, "not a byte");
      step.data.push_back(static_cast<char>(*byte));
      more = comma != std::string_view::npos;
      if (more) data.remove_prefix(comma + 1);
    }
  } else {
    return std::nullopt;
  }
  return step;
}

// Reads up to the end of the file or the first empty line. A line ends at a CR, with the
// LF after it if there is one, as the program's other text readers do; a lone LF stays part
// of the line (so a text value holding one travels intact), except that a line beginning
// with it counts as empty.
std::vector<ImportStep> ParseImportFile(std::string_view text, std::string_view targetKey,
                                        const std::string& filePath) {
  std::vector<ImportStep> steps;
  std::string currentPath;
  std::size_t lineNumber = 0;
  platform::TextLines lines(text);
  while (!lines.AtEmptyLine()) {
    std::string_view line = lines.Next();
    ++lineNumber;

    // A line that names the key already current is not a header (and so is malformed).
    if (line.front() == '\\') {
      std::string keyPath = std::string(targetKey).append(line);
      if (keyPath != currentPath) {
        currentPath = std::move(keyPath);
        if (line.back() == '\\')
          steps.push_back({ImportStep::ReplaceTarget, {}, 0, {}});
        else
          steps.push_back({ImportStep::OpenKey, std::string(line), 0, {}});
        continue;
      }
    }
    if (std::optional<ImportStep> step = ParseValueLine(line, filePath, lineNumber))
      steps.push_back(std::move(*step));
  }
  return steps;
}

OpenedKey CreateAt(const KeyPath& path) {
  RegKey handle = 0;
  if (Registry().CreateKey(path.root, path.subPath.c_str(), &handle) != 0) return OpenedKey();
  return OpenedKey(handle);
}

}  // namespace

void ExportKeyValues(std::string_view key, const std::string& filePath) {
  KeyPath path = SplitKeyName(key);
  OpenedKey opened = OpenForReading(path);
  if (!opened) return;
  ExportFile file(filePath);
  AppendValueLines(opened.get(), path, &file.Buffer());
  file.Flush();
}

void ExportKeyTree(std::string_view key, const std::string& filePath) {
  if (Files().FileExists(filePath) && !Files().RemoveFile(filePath))
    throw RegistryError("Cannot replace " + filePath);
  ExportFile file(filePath);
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
  OpenedKey current;
  for (const ImportStep& step : steps) {
    switch (step.kind) {
      case ImportStep::ReplaceTarget:
        current.Close();
        DeleteKeyTree(targetKey);
        current = CreateAt(target);
        break;
      case ImportStep::OpenKey: {
        current.Close();
        std::string_view below = std::string_view(step.path).substr(target.subPath.empty() ? 1 : 0);
        current = CreateAt(KeyPath{target.root, target.subPath + std::string(below)});
        break;
      }
      case ImportStep::SetValue:
        if (current)
          Registry().SetValueEx(current.get(), step.path.c_str(), step.type,
                                reinterpret_cast<const std::uint8_t*>(step.data.data()),
                                static_cast<std::uint32_t>(step.data.size()));
        break;
    }
  }
}

}  // namespace quarnel::registry
