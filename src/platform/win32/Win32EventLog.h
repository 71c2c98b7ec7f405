#pragma once
#include "platform/EventLog.h"

namespace quarnel::platform {

// RegisterEventSourceA, ReportEventA and DeregisterEventSource, as Windows XP has them. The
// installer names quarnel.exe, which carries the message, as the source's message file;
// without that the Event Viewer still shows the text, after a note that the description
// was not found.
class Win32EventLog : public EventLog {
 public:
  bool Report(const std::string& source, EventKind kind, const std::string& text) override;
};

}  // namespace quarnel::platform
