#pragma once
// The seams most window and dialog tests want: a program folder of their own, an in-memory
// registry, and programs and message boxes recorded instead of run and shown.
#include <gtest/gtest.h>

#include <string>

#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingMessages.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/OverrideSystem.h"
#include "support/TempFolder.h"

namespace quarnel::testing {

struct RecordedSeams {
  // Exactly one box was shown since the last call, with this text and icon and the program's title.
  void ExpectOneMessage(const std::string& text, platform::MessageIcon icon) {
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, text);
    EXPECT_EQ(messages.shown[0].title, "Quarnel Backup");
    EXPECT_EQ(messages.shown[0].icon, icon);
    messages.shown.clear();
  }

  TempFolder dir;
  OverrideSystem system{dir.path()};
  platform::MemoryRegistry registry;
  platform::RecordingProcesses processes;
  platform::RecordingMessages messages;
  platform::ScopedServices scope{
      {.registry = &registry, .system = &system, .processes = &processes, .messages = &messages}};
};

}  // namespace quarnel::testing
