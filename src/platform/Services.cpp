#include "platform/Services.h"

namespace quarnel::platform {

Services& Current() {
  static Services current = DefaultServices();
  return current;
}

ScopedServices::ScopedServices(const Services& with) : saved_(Current()) {
  Services& now = Current();
  if (with.registry) now.registry = with.registry;
  if (with.files) now.files = with.files;
  if (with.profile) now.profile = with.profile;
  if (with.system) now.system = with.system;
  if (with.processes) now.processes = with.processes;
  if (with.messages) now.messages = with.messages;
  if (with.events) now.events = with.events;
}

ScopedServices::~ScopedServices() { Current() = saved_; }

}  // namespace quarnel::platform
