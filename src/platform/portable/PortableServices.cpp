#include "platform/Services.h"
#include "platform/portable/IniProfile.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/PortableSystem.h"
#include "platform/portable/PosixFiles.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"

namespace quarnel::platform {

// Off Windows nothing may start programs, show boxes or report events: all are recorded.
Services DefaultServices() {
  static MemoryRegistry registry;
  static PosixFiles files;
  static IniProfile profile;
  static PortableSystem system;
  static RecordingProcesses processes;
  static RecordingMessages messages;
  static RecordingEventLog events;
  return {&registry, &files, &profile, &system, &processes, &messages, &events};
}

}  // namespace quarnel::platform
