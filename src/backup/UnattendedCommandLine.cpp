#include "backup/UnattendedCommandLine.h"

#include <cstdio>
#include <vector>

namespace quarnel::backup {

std::optional<UnattendedOptions> ParseUnattendedCommandLine(const std::string& commandLine) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t equals = commandLine.find('=', start);
    parts.push_back(commandLine.substr(start, equals == std::string::npos ? std::string::npos : equals - start));
    if (equals == std::string::npos) break;
    start = equals + 1;
  }
  if (parts.size() < 5) return std::nullopt;
  for (std::size_t i = 1; i + 1 < parts.size(); ++i) {
    std::string& part = parts[i];
    part.resize(part.size() >= 2 ? part.size() - 2 : 0);
  }
  UnattendedOptions options{parts[1], parts[2], parts[3], parts[4]};
  if (options.sf.empty() || options.xm.empty() || options.bf.empty()) return std::nullopt;
  return options;
}

std::string DatedBackupPath(const std::string& bf, const platform::LocalTime& now) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "-%02d-%02d-%04d-%02d-%02d.soe", now.month, now.day, now.year, now.hour,
                now.minute);
  return bf.substr(0, bf.size() >= 4 ? bf.size() - 4 : 0) + stamp;
}

}  // namespace quarnel::backup
