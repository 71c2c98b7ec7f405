#pragma once
// Text in the system's ANSI code page (Windows-1252 off Windows).
#include <string>
#include <string_view>

namespace quarnel::platform {

// (Not AnsiUpper: windows.h defines that name as a macro.)
std::string UpperAnsi(std::string_view text);
std::string LowerAnsi(std::string_view text);
// Compares as the registry and the profile services compare names: without regard to case.
bool AnsiEqualNoCase(std::string_view a, std::string_view b);
int AnsiCompareNoCase(std::string_view a, std::string_view b);
std::string AnsiToUtf8(std::string_view ansi);
// False when the text is not valid UTF-8 or holds a character the code page cannot show.
bool Utf8ToAnsi(std::string_view utf8, std::string* ansi);

}  // namespace quarnel::platform
