#include <gtest/gtest.h>

#include "mailclient/MailClient.h"
#include "platform/Services.h"
#include "platform/portable/MemoryRegistry.h"
#include "platform/portable/RecordingProcesses.h"
#include "support/RegistrySeed.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <stdlib.h>
#endif

namespace quarnel::mailclient {
namespace {

class MailClientTest : public ::testing::Test {
 protected:
  MailClientTest() : scope_({.registry = &registry_, .processes = &processes_}) {}
  void SetAppPath(const std::string& folder) {
    testing::SeedValue(platform::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe",
                       "Path", folder, platform::kRegExpandSz);
  }

  platform::MemoryRegistry registry_;
  platform::RecordingProcesses processes_;
  platform::ScopedServices scope_;
};

TEST_F(MailClientTest, EndsEveryInstanceInAnyLetterCase) {
  processes_.running = {{4, "explorer.exe"}, {10, "msimn.exe"}, {11, "MSIMN.EXE"}, {12, "msimn.exe.bak"},
                        {13, std::string("Msimn.Exe\0junk", 14)}};
  EndMailClient();
  EXPECT_EQ(processes_.terminated, (std::vector<std::uint32_t>{10, 11, 13}));
  EndMailClient();  // none left: nothing more happens
  EXPECT_EQ(processes_.terminated.size(), 3u);
  processes_.snapshotFails = true;
  EndMailClient();
}

TEST_F(MailClientTest, StartsFromTheExpandedAppPath) {
#ifdef _WIN32
  SetEnvironmentVariableA("QUARNEL_OE_FOLDER", "C:\\Program Files");
#else
  setenv("QUARNEL_OE_FOLDER", "C:\\Program Files", 1);
#endif
  StartMailClient();  // no App Paths entry: nothing starts
  EXPECT_TRUE(processes_.started.empty());

  SetAppPath("%QUARNEL_OE_FOLDER%\\Outlook Express");
  StartMailClient();
  SetAppPath("D:\\OE");
  StartMailClient();
  ASSERT_EQ(processes_.started.size(), 2u);
  EXPECT_EQ(processes_.started[0].commandLine, "\"C:\\Program Files\\Outlook Express\\msimn.exe\"");
  EXPECT_EQ(processes_.started[0].state, platform::WindowState::Minimized);
  EXPECT_EQ(processes_.started[1].commandLine, "\"D:\\OE\\msimn.exe\"");
}

}  // namespace
}  // namespace quarnel::mailclient
