#include "platform/win32/Win32EventLog.h"

#include <windows.h>

namespace quarnel::platform {

bool Win32EventLog::Report(const std::string& source, EventKind kind, const std::string& text) {
  HANDLE log = RegisterEventSourceA(nullptr, source.c_str());
  if (log == nullptr) return false;
  const WORD type = kind == EventKind::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE;
  const char* strings[] = {text.c_str()};
  const bool reported = ReportEventA(log, type, 0, kEventMessageId, nullptr, 1, 0, strings, nullptr) != FALSE;
  DeregisterEventSource(log);
  return reported;
}

}  // namespace quarnel::platform
