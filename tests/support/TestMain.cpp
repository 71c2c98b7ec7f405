// The tests' entry point. No test may leave a message box up or start a real program by
// accident: boxes are recorded unless a test installs the real ones itself.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include "platform/Services.h"
#include "platform/portable/RecordingMessages.h"

int main(int argc, char** argv) {
#ifdef _WIN32
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
#endif
  static quarnel::platform::RecordingMessages messages;
  quarnel::platform::Current().messages = &messages;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
