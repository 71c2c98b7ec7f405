#include "mailexport/MailNames.h"

#include <cerrno>
#include <cstdio>

#include "archive/EntryNames.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace quarnel::mailexport {
namespace {

struct Civil {
  int year, month, day, hour, minute, second, weekday;
};

// FILETIME counts 100 ns steps from 1601-01-01 UTC.
Civil ToCivil(std::uint64_t fileTime) {
  std::int64_t seconds = static_cast<std::int64_t>(fileTime / 10000000ull) - 11644473600ll;
  std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  std::int64_t rest = seconds - days * 86400;
  Civil c{};
  c.hour = static_cast<int>(rest / 3600);
  c.minute = static_cast<int>(rest / 60 % 60);
  c.second = static_cast<int>(rest % 60);
  c.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  // Days to civil date (proleptic Gregorian), after Howard Hinnant's public
  // algorithm.
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  c.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  c.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  c.year = static_cast<int>(yoe + era * 400 + (c.month <= 2 ? 1 : 0));
  return c;
}

bool Reserved(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == ':' || c == '"' || c == '/' || c == '\\' || c == '|' ||
         c == '?' || c == '*';
}

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '.')) s.pop_back();
  std::size_t start = s.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : s.substr(start);
}

}  // namespace

std::string NameDate(std::uint64_t fileTime) {
  if (fileTime == 0) return "undated";
  const Civil c = ToCivil(fileTime);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d%02d", c.year, c.month, c.day, c.hour, c.minute);
  return text;
}

std::string MboxDate(std::uint64_t fileTime) {
  static const char *const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char *const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const Civil c = ToCivil(fileTime);
  char text[48];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %04d", kDays[c.weekday], kMonths[c.month - 1], c.day,
                c.hour, c.minute, c.second, c.year);
  return text;
}

std::string SafeName(const std::string &text, std::size_t maxLength, const std::string &fallback) {
  std::string name;
  for (unsigned char c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    name += Reserved(c) ? '_' : static_cast<char>(c);
  }
  name = Trimmed(name.substr(0, maxLength));
  // A device name (with any extension) stays a device on Windows: make it a
  // plain name.
  if (!name.empty() && !archive::IsSafeEntryName(name)) name = Trimmed(("_" + name).substr(0, maxLength));
  return name.empty() ? fallback : name;
}

std::string MessageFileName(const std::string &folder, std::uint64_t fileTime, const std::string &subject) {
  const std::string date = NameDate(fileTime);
  // Room for the date, a blank, the subject, a " (99999)" that UniqueName may
  // add, ".eml".
  const std::size_t fixed = folder.size() + 1 + date.size() + 1 + 8 + 4;
  if (fixed + 1 > kMaxPathLength) return {};
  const std::size_t room = std::min(kMaxSubjectInName, kMaxPathLength - fixed);
  return date + " " + SafeName(subject, room, "(no subject)").substr(0, room) + ".eml";
}

std::FILE *CreateUniqueFile(const std::string &folder, const std::string &name, MadeNames *made, std::string *path) {
  constexpr int kMaxNumber = 99999;  // the room MessageFileName leaves
  const std::size_t dot = name.rfind('.');
  const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
  platform::FileSystem &files = platform::Files();
  std::string candidate = name;
  for (int n = 2; n <= kMaxNumber + 1; candidate = stem + " (" + std::to_string(n++) + ")" + extension) {
    const std::string upper = platform::UpperAnsi(candidate);
    if (made->upper.count(upper)) continue;
    *path = JoinLocal(folder, candidate);
    if (std::FILE *file = files.CreateNew(made->direct.empty() ? *path : JoinLocal(made->direct, candidate))) {
      made->upper.insert(upper);
      return file;
    }
    // Taken by a file or folder that was there: the next number. Anything
    // else (a full disk, no rights) fails the same way for every name.
    if (errno != EEXIST && !files.FileExists(*path) && !files.FolderExists(*path)) return nullptr;
  }
  return nullptr;
}

std::string JoinLocal(const std::string &folder, const std::string &name) {
#ifdef _WIN32
  const std::string local = name;
#else
  // The store's names are ANSI text; POSIX systems name files in UTF-8.
  const std::string local = platform::AnsiToUtf8(name);
#endif
  if (folder.empty()) return local;
  return folder.back() == '\\' || folder.back() == '/' ? folder + local : folder + "\\" + local;
}

}  // namespace quarnel::mailexport
