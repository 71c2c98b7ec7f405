#include "platform/Services.h"
#include "platform/win32/Win32EventLog.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Messages.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Profile.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32System.h"

namespace quarnel::platform {

Services DefaultServices() {
  static Win32Registry registry;
  static Win32Files files;
  static Win32Profile profile;
  static Win32System system;
  static Win32Processes processes;
  static Win32Messages messages;
  static Win32EventLog events;
  return {&registry, &files, &profile, &system, &processes, &messages, &events};
}

}  // namespace quarnel::platform
