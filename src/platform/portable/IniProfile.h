#pragma once
#include "platform/Profile.h"

namespace quarnel::platform {

// Profile strings over the files seam, following what Windows' profile services do:
// section and key names without regard to case, values trimmed of blanks and of one pair
// of enclosing quotes, CR LF lines, the first matching section and key win.
class IniProfile : public ProfileStrings {
 public:
  std::uint32_t GetString(const std::string& section, const std::string& key, const std::string& defaultValue,
                          char* buffer, std::uint32_t size, const std::string& file) override;
  bool WriteString(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& file) override;
};

}  // namespace quarnel::platform
