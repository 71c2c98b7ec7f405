#pragma once
// The seams in force. Each build installs its own implementations (Win32 on Windows, the
// portable twins elsewhere); tests replace any of them for a scope with ScopedServices.
#include "platform/EventLog.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Processes.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/System.h"

namespace quarnel::platform {

struct Services {
  RegistryApi* registry = nullptr;
  FileSystem* files = nullptr;
  ProfileStrings* profile = nullptr;
  SystemFacts* system = nullptr;
  Processes* processes = nullptr;
  MessageBoxes* messages = nullptr;
  EventLog* events = nullptr;
};

Services& Current();
Services DefaultServices();  // the build's own implementations

inline RegistryApi& Registry() { return *Current().registry; }
inline FileSystem& Files() { return *Current().files; }
inline ProfileStrings& Profile() { return *Current().profile; }
inline SystemFacts& System() { return *Current().system; }
inline Processes& Procs() { return *Current().processes; }
inline MessageBoxes& Messages() { return *Current().messages; }
inline EventLog& Events() { return *Current().events; }

// Replaces the non-null members of `with` until the end of the scope.
class ScopedServices {
 public:
  explicit ScopedServices(const Services& with);
  ~ScopedServices();
  ScopedServices(const ScopedServices&) = delete;
  ScopedServices& operator=(const ScopedServices&) = delete;

 private:
  Services saved_;
};

}  // namespace quarnel::platform
