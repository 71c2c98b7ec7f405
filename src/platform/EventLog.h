#pragma once
// The system's Application event log, which the Event Viewer and monitoring tools read.
#include <string>
#include <vector>

namespace quarnel::platform {

enum class EventKind { Information, Error };

// The one message of quarnel.exe's message table ("%1": the event's text as it is), the
// event id of every event the program reports.
inline constexpr unsigned kEventMessageId = 1;

class EventLog {
 public:
  virtual ~EventLog() = default;
  // Adds one event of the source with the text as its one string; false when the system
  // refuses.
  virtual bool Report(const std::string& source, EventKind kind, const std::string& text) = 0;
};

// The portable twin: keeps every event instead.
class RecordingEventLog : public EventLog {
 public:
  struct Event {
    std::string source;
    EventKind kind;
    std::string text;
  };
  bool Report(const std::string& source, EventKind kind, const std::string& text) override {
    reported.push_back({source, kind, text});
    return true;
  }
  std::vector<Event> reported;
};

}  // namespace quarnel::platform
