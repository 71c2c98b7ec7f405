// Text in the system's ANSI code page, converted and compared by Windows itself.
#include <windows.h>

#include <vector>

#include "platform/Text.h"

namespace quarnel::platform {
namespace {

std::wstring Wide(std::string_view text, UINT codePage, DWORD flags = 0) {
  if (text.empty()) return {};
  int n = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string Narrow(const std::wstring& text, UINT codePage, bool* lossy = nullptr) {
  if (text.empty()) return {};
  BOOL usedDefault = FALSE;
  BOOL* used = codePage == CP_UTF8 ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, used);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, used);
  if (lossy) *lossy = usedDefault != FALSE;
  return out;
}

std::string MapCase(std::string_view text, bool upper) {
  std::string out(text);
  if (!out.empty()) {
    if (upper) {
      CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
    } else {
      CharLowerBuffA(out.data(), static_cast<DWORD>(out.size()));
    }
  }
  return out;
}

}  // namespace

std::string UpperAnsi(std::string_view text) { return MapCase(text, true); }
std::string LowerAnsi(std::string_view text) { return MapCase(text, false); }

int AnsiCompareNoCase(std::string_view a, std::string_view b) {
  // The registry orders names by their upper-case UTF-16 code units.
  std::wstring x = Wide(a, CP_ACP), y = Wide(b, CP_ACP);
  if (!x.empty()) CharUpperBuffW(x.data(), static_cast<DWORD>(x.size()));
  if (!y.empty()) CharUpperBuffW(y.data(), static_cast<DWORD>(y.size()));
  int c = x.compare(y);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool AnsiEqualNoCase(std::string_view a, std::string_view b) { return AnsiCompareNoCase(a, b) == 0; }

std::string AnsiToUtf8(std::string_view ansi) { return Narrow(Wide(ansi, CP_ACP), CP_UTF8); }

bool Utf8ToAnsi(std::string_view utf8, std::string* ansi) {
  if (utf8.empty()) {
    ansi->clear();
    return true;
  }
  std::wstring wide = Wide(utf8, CP_UTF8, MB_ERR_INVALID_CHARS);
  if (wide.empty()) return false;
  bool lossy = false;
  std::string out = Narrow(wide, CP_ACP, &lossy);
  if (lossy) return false;
  *ansi = std::move(out);
  return true;
}

}  // namespace quarnel::platform
